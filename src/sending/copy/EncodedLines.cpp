#include "sending/copy/EncodedLines.h"

#include "sending/copy/CopyText.h"

#include <cstring>

QByteArray& EncodedLines::buffer(qsizetype reserveBytes) {
    if (m_data.capacity() < reserveBytes)
        m_data.reserve(reserveBytes); // touched as used
    return m_data;
}

QStringList EncodedLines::fields(qsizetype line) const {
    const QByteArrayView text = this->text(line, line + 1);
    return copyLineFields(text.chopped(1)); // without the line feed
}

qsizetype EncodedLines::release(qsizetype end) {
    if (end <= 0)
        return 0;
    const qsizetype bytes = offset(end);
    // Moved rather than removed, so that the room stays where appending needs it.
    std::memmove(m_data.data(), m_data.constData() + bytes, m_data.size() - bytes);
    m_data.truncate(m_data.size() - bytes);
    m_lines.erase(m_lines.begin(), m_lines.begin() + end);
    for (Line& line : m_lines)
        line.offset -= bytes;
    return bytes;
}

void EncodedLines::truncate(qsizetype keep) {
    if (keep >= count())
        return;
    m_data.truncate(m_lines[keep].offset);
    m_lines.resize(keep);
}

void EncodedLines::clear() {
    m_lines.clear();
    m_data.clear();
}
