#include "import/TextFileReader.h"

#include "shell/Failure.h"

TextFileReader::TextFileReader(const QString& path, TextEncoding encoding, qint64 chunkSize)
    : m_path(path)
    , m_encoding(encoding)
    , m_chunkSize(chunkSize > 0 ? chunkSize : 1)
    , m_file(path) {
    if (!m_file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Could not open %1: %2").arg(path, m_file.errorString()));
}

bool TextFileReader::fill() {
    if (m_atEnd)
        return false;
    // Drop the used-up bytes first, so the buffer holds at most one line and one piece.
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_searched -= m_pos;
        m_pos = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + m_chunkSize);
    const qint64 got = m_file.read(m_buffer.data() + old, m_chunkSize);
    if (got < 0) {
        m_buffer.resize(old);
        throw Failure(QStringLiteral("Could not read %1: %2").arg(m_path, m_file.errorString()));
    }
    m_buffer.resize(old + got);
    if (got == 0)
        m_atEnd = true;
    return got > 0;
}

namespace {

QByteArray withoutCarriageReturns(const char* data, qsizetype size) {
    QByteArray bytes(data, size);
    if (bytes.contains('\r'))
        bytes.removeIf([](char c) { return c == '\r'; });
    return bytes;
}

} // namespace

bool TextFileReader::readLine(QString& line) {
    if (m_finished)
        return false;
    if (!m_started) {
        while (m_buffer.size() < 3 && fill()) {
        }
        if (m_encoding == TextEncoding::Utf8 && m_buffer.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        m_searched = m_pos;
        m_started = true;
    }

    qsizetype feed = m_buffer.indexOf('\n', m_searched);
    while (feed < 0) {
        m_searched = m_buffer.size();
        if (!fill())
            break;
        feed = m_buffer.indexOf('\n', m_searched);
    }

    if (feed < 0) {
        // The end of the file: what is left is the last line, unless the whole text is empty.
        m_finished = true;
        const QByteArray bytes =
            withoutCarriageReturns(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
        m_buffer = QByteArray();
        m_pos = m_searched = 0;
        if (!m_hadText && bytes.isEmpty())
            return false;
        line = decodeText(bytes, m_encoding);
        return true;
    }
    line =
        decodeText(withoutCarriageReturns(m_buffer.constData() + m_pos, feed - m_pos), m_encoding);
    m_pos = feed + 1;
    m_searched = m_pos;
    m_hadText = true;
    return true;
}
