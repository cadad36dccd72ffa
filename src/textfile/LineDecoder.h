#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// Turns the lines of one file into text, each line on its own: a line that is valid UTF-8 is
// read as UTF-8, any other line as Windows-1252 (one character per byte), so that one stray
// byte changes no other line. Remembers which lines were read as Windows-1252, to tell the user.
class LineDecoder {
public:
    QString decode(QByteArrayView bytes, qint64 lineIndex);

    // Whether the line is valid UTF-8, so that its bytes are its text; otherwise it is
    // remembered as read as Windows-1252, as decode() would. Call it or decode() once a line.
    bool isUtf8(QByteArrayView bytes, qint64 lineIndex);

    // What to tell the user once the whole file was read, or no value: said when some line was
    // read as Windows-1252 while the file also holds UTF-8 text (a valid multi-byte sequence in
    // any line), since UTF-8 text may then have been read as other characters. A file with no
    // such sequence is an ordinary Windows-1252 file and is read without a word.
    std::optional<QString> note(const QString& path) const;

    // The lines read as Windows-1252 so far, and whether some line held a valid multi-byte
    // UTF-8 sequence.
    qint64 windows1252Lines() const { return m_windowsCount; }
    // Takes in what a decoder of the lines after these learned, its line indices counted from
    // firstLine: as if this one had gone on reading them.
    void append(const LineDecoder& later, qint64 firstLine);
    bool sawUtf8() const { return m_sawUtf8; }

private:
    static constexpr qsizetype NamedLines = 10;

    QList<qint64> m_windowsLines; // the first of them, at most NamedLines
    qint64 m_windowsCount = 0;
    bool m_sawUtf8 = false;
};
