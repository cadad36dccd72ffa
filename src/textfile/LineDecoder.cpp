#include "textfile/LineDecoder.h"

#include "textfile/TextEncoding.h"

QString LineDecoder::decode(QByteArrayView bytes, qint64 lineIndex) {
    return isUtf8(bytes, lineIndex) ? QString::fromUtf8(bytes) : decodeWindows1252(bytes);
}

bool LineDecoder::isUtf8(QByteArrayView bytes, qint64 lineIndex) {
    const Utf8Shape shape = utf8Shape(bytes);
    m_sawUtf8 = m_sawUtf8 || shape.multiByte;
    if (shape.valid)
        return true;
    if (m_windowsLines.size() < NamedLines)
        m_windowsLines.append(lineIndex);
    ++m_windowsCount;
    return false;
}

void LineDecoder::append(const LineDecoder& later, qint64 firstLine) {
    for (const qint64 line : later.m_windowsLines) {
        if (m_windowsLines.size() < NamedLines)
            m_windowsLines.append(firstLine + line);
    }
    m_windowsCount += later.m_windowsCount;
    m_sawUtf8 = m_sawUtf8 || later.m_sawUtf8;
}

std::optional<QString> LineDecoder::note(const QString& path) const {
    if (m_windowsCount == 0 || !m_sawUtf8)
        return std::nullopt;
    QStringList named;
    for (const qint64 line : m_windowsLines)
        named.append(QString::number(line));
    QString list;
    if (m_windowsCount > m_windowsLines.size()) {
        list = named.join(QStringLiteral(", ")) +
               QStringLiteral(" and %1 more").arg(m_windowsCount - m_windowsLines.size());
    } else if (named.size() == 1) {
        list = named.first();
    } else {
        const QString last = named.takeLast();
        list = named.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    }
    return QStringLiteral("%1 holds UTF-8 text, but %2 line(s) of it are not valid UTF-8 and "
                          "were read as Windows-1252: Line no %3.")
        .arg(path)
        .arg(m_windowsCount)
        .arg(list);
}
