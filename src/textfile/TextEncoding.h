#pragma once

#include <QByteArrayView>
#include <QString>

// How the bytes of one line are taken as UTF-8. Overlong forms, surrogates, values beyond
// U+10FFFF and a sequence cut off by the end of the line are invalid.
struct Utf8Shape {
    bool valid = true;      // the line is valid UTF-8 from start to end
    bool multiByte = false; // it holds at least one valid sequence of two bytes or more
};
Utf8Shape utf8Shape(QByteArrayView bytes);

// The bytes as Windows-1252: 0x00-0x7F and 0xA0-0xFF as the same code points, 0x80-0x9F as
// the code page's characters (the euro sign, typographic quotes, ...). The five bytes the
// code page leaves undefined become the control characters of the same value.
QString decodeWindows1252(QByteArrayView bytes);
