#pragma once

#include <QByteArrayView>
#include <QString>

// How the bytes of one text file become characters. Decided once per file, before anything
// of it is sent: a file that is valid UTF-8 from start to end is UTF-8 (its byte-order mark,
// if any, is not part of the text); any other file is Windows-1252, one character per byte.
enum class TextEncoding { Utf8, Windows1252 };

// Checks a byte stream for valid UTF-8 piece by piece, so that a file of any size is checked
// with constant memory. Overlong forms, surrogates and values beyond U+10FFFF are invalid, as
// is a sequence cut off by the end of the stream.
class Utf8Validator {
public:
    // Takes the next bytes of the stream; returns false once the stream is known invalid.
    bool add(QByteArrayView bytes);
    // Whether everything added so far forms complete, valid UTF-8.
    bool validAtEnd() const { return m_valid && m_needed == 0; }

private:
    bool m_valid = true;
    int m_needed = 0;           // continuation bytes still expected
    unsigned char m_low = 0x80; // allowed range of the next continuation byte
    unsigned char m_high = 0xBF;
};

// The bytes as Windows-1252: 0x00-0x7F and 0xA0-0xFF as the same code points, 0x80-0x9F as
// the code page's characters (the euro sign, typographic quotes, ...). The five bytes the
// code page leaves undefined become the control characters of the same value.
QString decodeWindows1252(QByteArrayView bytes);

// The bytes in the given encoding. UTF-8 input is expected to be valid.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// Reads the whole file once, in pieces, and decides its encoding. Throws Failure with the
// file system's text when the file can't be opened or read.
TextEncoding DetectFileEncoding(const QString& path);
