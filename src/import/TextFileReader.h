#pragma once

#include "import/TextEncoding.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads the lines of a text file one at a time, holding only the current line and one piece
// of the file in memory. Lines are the file's text with every carriage return removed
// wherever it stands, cut at every line feed: a text that ends with a line feed has an empty
// last line, and a file whose text is empty has no lines at all. In UTF-8 a byte-order mark
// at the start is not part of the text.
class TextFileReader {
public:
    // Opens the file. Throws Failure with the file system's text when it can't.
    TextFileReader(const QString& path, TextEncoding encoding, qint64 chunkSize = 1 << 20);

    // The next line, or false after the last one. Throws Failure when the file can't be read.
    bool readLine(QString& line);

    const QString& path() const { return m_path; }

private:
    bool fill(); // reads the next piece; false at the end of the file

    QString m_path;
    TextEncoding m_encoding;
    qint64 m_chunkSize;
    QFile m_file;
    QByteArray m_buffer; // bytes read from the file; those before m_pos are used up
    qsizetype m_pos = 0;
    qsizetype m_searched = 0; // from m_pos up to here, known to hold no line feed
    bool m_atEnd = false;
    bool m_started = false; // the byte-order mark question is settled
    bool m_hadText = false; // a line was returned, so the text is not empty
    bool m_finished = false;
};
