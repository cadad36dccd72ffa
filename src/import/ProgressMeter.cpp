#include "import/ProgressMeter.h"

#include "shell/NumberText.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

// The rate is taken over about this span, so that it follows changes within seconds but
// does not jump with each chunk's commit.
constexpr qint64 WindowMilliseconds = 3000;
constexpr qint64 ShortestSpanMilliseconds = 1000;

} // namespace

void ProgressMeter::update(const ImportProgress& progress, qint64 atMilliseconds) {
    if (!m_samples.empty() && atMilliseconds < m_samples.back().at)
        atMilliseconds = m_samples.back().at; // a clock never runs back; guard the division
    if (m_seen && !m_rowsArriving && progress.rowsSent > m_last.rowsSent) {
        // The first rows: the rate is taken from here on.
        m_rowsArriving = true;
        m_samples.clear();
    }
    m_last = progress;
    m_seen = true;
    m_samples.push_back({atMilliseconds, progress.rowsSent});
    while (m_samples.size() > 2 && atMilliseconds - m_samples[1].at >= WindowMilliseconds)
        m_samples.pop_front();
}

qint64 ProgressMeter::rowsPerSecond() const {
    if (!m_rowsArriving || m_samples.size() < 2)
        return -1;
    const Sample& first = m_samples.front();
    const Sample& last = m_samples.back();
    const qint64 span = last.at - first.at;
    if (span < ShortestSpanMilliseconds)
        return -1;
    return std::max<qint64>(0, last.rows - first.rows) * 1000 / span;
}

QString ProgressMeter::fileText() const {
    if (!m_seen)
        return QString();
    return QStringLiteral("File %1 of %2: %3")
        .arg(m_last.file)
        .arg(m_last.files)
        .arg(QFileInfo(m_last.path).fileName());
}

QString ProgressMeter::rowsText() const {
    if (!m_seen)
        return QString();
    QString text = groupedCount(m_last.rowsSent) + QStringLiteral(" rows sent");
    if (const qint64 rate = rowsPerSecond(); rate >= 0)
        text += QStringLiteral(", ") + groupedCount(rate) + QStringLiteral(" rows/s");
    if (m_last.waitingSeconds > 0)
        text += QStringLiteral(", waiting up to %1 s for the server").arg(m_last.waitingSeconds);
    return text;
}
