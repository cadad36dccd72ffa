#pragma once

#include "textfile/FileRange.h"

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>

class FileSnapshot;

// Reads the lines of a file snapshot as bytes, from its start, one at a time, holding only the
// current line and one piece of the file in memory. Lines are cut at the snapshot's line end;
// every other byte, carriage returns included, is part of a line. A file that ends with a line
// end has an empty last line; a file without bytes has no lines at all. A UTF-8 byte-order mark
// at the start is not part of the first line.
//
// Reads at offsets of its own and never moves the snapshot's device, so that readers of one
// snapshot, on one thread or several, never disturb each other. A reader of a range (FileRange)
// reads its bytes only: the byte-order mark question is settled before it, and a range that
// ends where a later one begins has no empty last line.
class LineReader {
public:
    explicit LineReader(FileSnapshot& file, qint64 chunkSize = 1 << 20, FileRange range = {});

    // The next line, without its line end, or false after the last one. The view stays valid
    // until the next call. Throws Failure when the file can't be read, or holds fewer bytes
    // than when its snapshot was made (shrank() then answers true).
    bool next(QByteArrayView& line);

    // The lines returned so far, counted as an editor counts them: the empty line after the
    // file's final line end is not counted.
    qint64 linesRead() const { return m_lines; }

    // Whether the file was found shorter than when its snapshot was made.
    bool shrank() const { return m_shrank; }

    // The offset in the snapshot of the byte after the last line returned (and its line end):
    // where the next line begins.
    qint64 offset() const { return m_offset - (m_buffer.size() - m_pos); }

    // The bytes read ahead of the next line: whole lines and the start of one (none before the
    // first line was returned, nor after the last), so that a caller can pass over several
    // lines at once (skip()).
    QByteArrayView ahead() const {
        if (!m_started || m_finished)
            return {};
        return QByteArrayView(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
    }
    // Takes as returned the next lines, which fill that many bytes of ahead() up to and
    // including a line end.
    void skip(qsizetype bytes, qint64 lines) {
        m_pos += bytes;
        m_searched = std::max(m_searched, m_pos);
        m_lines += lines;
    }
    char lineEnd() const;

private:
    bool fill(); // reads the next piece; false when the snapshot's bytes are all read
    qsizetype find(char end) const;

    FileSnapshot& m_file;
    qint64 m_chunkSize;
    qint64 m_offset;        // of the next byte to read
    qint64 m_left;          // bytes of the snapshot, or the range, still to read
    bool m_endsAtLineStart; // the range ends where another begins, after a line end
    QByteArray m_buffer;    // bytes read; those before m_pos are used up
    qsizetype m_pos = 0;
    qsizetype m_searched = 0; // from m_pos up to here, known to hold no line end
    bool m_started = false;   // the byte-order mark question is settled
    bool m_finished = false;
    bool m_shrank = false;
    qint64 m_lines = 0;
};
