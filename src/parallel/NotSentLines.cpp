#include "parallel/NotSentLines.h"

#include <QStringList>

void NotSentLines::add(const ResumingSender::NotSent& notSent, qint64 nextRangeLine) {
    if (!m_stretches.empty() && m_stretches.back().afterLast == notSent.first) {
        // The range before gave up to its end and this one from its start: one stretch.
        Stretch& last = m_stretches.back();
        last.afterLast = nextRangeLine;
        last.lines += notSent.lines;
        return;
    }
    m_stretches.push_back({notSent.first, nextRangeLine, notSent.lines, notSent.reason});
}

std::optional<LineRejection> NotSentLines::rejection(const QString& path) const {
    if (m_stretches.empty())
        return std::nullopt;
    qint64 lines = 0;
    QStringList parts;
    for (const Stretch& stretch : m_stretches) {
        lines += stretch.lines;
        parts.append(
            stretch.afterLast < 0
                ? QStringLiteral("from line %1 on").arg(stretch.first + 1)
                : QStringLiteral("lines %1 to %2").arg(stretch.first + 1).arg(stretch.afterLast));
    }
    const Stretch& first = m_stretches.front();
    QString text;
    if (m_stretches.size() == 1 && first.afterLast < 0) {
        text = QStringLiteral("%1 line(s) of %2, from line %3 on, were not sent: %4.")
                   .arg(lines)
                   .arg(path)
                   .arg(first.first + 1)
                   .arg(first.reason);
    } else {
        const QString last = parts.takeLast();
        const QString named =
            parts.isEmpty() ? last
                            : parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
        text = QStringLiteral("%1 line(s) of %2 were not sent, %3: %4.")
                   .arg(lines)
                   .arg(path, named, first.reason);
    }
    return LineRejection{first.first, text, {}, false, lines};
}
