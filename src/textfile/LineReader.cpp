#include "textfile/LineReader.h"

#include "shell/Failure.h"
#include "shell/Platform.h"
#include "textfile/FileSnapshot.h"

#include <algorithm>
#include <cstring>

LineReader::LineReader(FileSnapshot& file, qint64 chunkSize, FileRange range)
    : m_file(file)
    , m_chunkSize(chunkSize > 0 ? chunkSize : 1)
    , m_offset(range.start)
    , m_left((range.end < 0 ? file.size() : range.end) - range.start)
    , m_endsAtLineStart(range.end >= 0 && range.end < file.size())
    , m_started(range.start > 0) {}

bool LineReader::fill() {
    if (m_left == 0)
        return false;
    // Drop the used-up bytes first, so the buffer holds at most one line and one piece. The
    // rest moves to the buffer's front, which keeps its memory from one piece to the next:
    // a buffer made anew for each piece costs the system a page fault every 4 KiB read.
    if (m_pos > 0) {
        const qsizetype rest = m_buffer.size() - m_pos;
        std::memmove(m_buffer.data(), m_buffer.constData() + m_pos, static_cast<size_t>(rest));
        m_buffer.truncate(rest);
        m_searched -= m_pos;
        m_pos = 0;
    }
    const qint64 wanted = std::min(m_chunkSize, m_left);
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + wanted);
    qint64 got = 0;
    try {
        got = platform::readAt(m_file.device().handle(), m_buffer.data() + old, wanted, m_offset,
                               m_file.path());
    } catch (...) {
        m_buffer.resize(old);
        throw;
    }
    if (got == 0) {
        m_buffer.resize(old);
        m_shrank = true;
        throw Failure(QStringLiteral("Could not read %1: the file became shorter while it "
                                     "was imported.")
                          .arg(m_file.path()));
    }
    m_buffer.resize(old + got);
    m_offset += got;
    m_left -= got;
    return true;
}

char LineReader::lineEnd() const {
    return m_file.lineEnd();
}

// The line end after m_searched, or -1: memchr itself, the search done once for every line.
qsizetype LineReader::find(char end) const {
    const char* const from = m_buffer.constData() + m_searched;
    const auto* found =
        static_cast<const char*>(std::memchr(from, end, m_buffer.size() - m_searched));
    return found ? found - m_buffer.constData() : -1;
}

bool LineReader::next(QByteArrayView& line) {
    if (m_finished)
        return false;
    if (!m_started) {
        while (m_buffer.size() < 3 && fill()) {
        }
        if (m_buffer.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        m_searched = m_pos;
        m_started = true;
        if (m_buffer.size() == m_pos && m_left == 0) {
            m_finished = true; // no text at all: no lines
            return false;
        }
    }

    const char end = m_file.lineEnd();
    qsizetype found = find(end);
    while (found < 0) {
        m_searched = m_buffer.size();
        if (!fill())
            break;
        found = find(end);
    }
    if (found < 0) {
        // The end of the file: what is left is the last line. A range that ends where another
        // begins ends after a line end, and the line after it is the other range's.
        m_finished = true;
        if (m_endsAtLineStart && m_pos == m_buffer.size())
            return false;
        line = QByteArrayView(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
        m_pos = m_buffer.size(); // the view stays valid: the buffer is not changed
        m_lines += line.isEmpty() ? 0 : 1;
        return true;
    }
    ++m_lines;
    line = QByteArrayView(m_buffer.constData() + m_pos, found - m_pos);
    m_pos = found + 1;
    m_searched = m_pos;
    return true;
}
