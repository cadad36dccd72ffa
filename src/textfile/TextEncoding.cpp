#include "textfile/TextEncoding.h"

#include <array>
#include <cstring>

namespace {

// Code points of the bytes 0x80 to 0x9F.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The length of the valid UTF-8 sequence of two bytes or more at p, or 0 when there is none.
qsizetype sequenceAt(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = *p;
    int needed = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        needed = 1;
    } else if (c == 0xE0) {
        needed = 2;
        low = 0xA0;
    } else if (c == 0xED) {
        needed = 2;
        high = 0x9F; // no surrogates
    } else if (c >= 0xE1 && c <= 0xEF) {
        needed = 2;
    } else if (c == 0xF0) {
        needed = 3;
        low = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3) {
        needed = 3;
    } else if (c == 0xF4) {
        needed = 3;
        high = 0x8F; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (end - p <= needed)
        return 0;
    for (int i = 1; i <= needed; ++i) {
        if (p[i] < low || p[i] > high)
            return 0;
        low = 0x80;
        high = 0xBF;
    }
    return needed + 1;
}

} // namespace

Utf8Shape utf8Shape(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    // Most lines are ASCII: eight bytes at a time until the first byte with the high bit.
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL)
            break;
        p += 8;
    }
    Utf8Shape shape;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const qsizetype length = sequenceAt(p, end);
        if (length == 0) {
            shape.valid = false;
            ++p; // one byte that is not UTF-8; the next may start a valid sequence
            if (shape.multiByte)
                break;
            continue;
        }
        shape.multiByte = true;
        if (!shape.valid)
            break;
        p += length;
    }
    return shape;
}

QString decodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        *out++ = (c >= 0x80 && c <= 0x9F) ? QChar(Windows1252High[c - 0x80]) : QChar(c);
    }
    return text;
}
