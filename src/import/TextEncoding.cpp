#include "import/TextEncoding.h"

#include "shell/Failure.h"

#include <QFile>

#include <array>

namespace {

constexpr qint64 ScanChunkSize = 1 << 20;

// Code points of the bytes 0x80 to 0x9F.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

bool Utf8Validator::add(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (m_valid && p < end) {
        const unsigned char c = *p++;
        if (m_needed > 0) {
            if (c < m_low || c > m_high) {
                m_valid = false;
                break;
            }
            --m_needed;
            m_low = 0x80;
            m_high = 0xBF;
            continue;
        }
        if (c < 0x80)
            continue;
        if (c >= 0xC2 && c <= 0xDF) {
            m_needed = 1;
        } else if (c == 0xE0) {
            m_needed = 2;
            m_low = 0xA0;
        } else if (c == 0xED) {
            m_needed = 2;
            m_high = 0x9F; // no surrogates
        } else if (c >= 0xE1 && c <= 0xEF) {
            m_needed = 2;
        } else if (c == 0xF0) {
            m_needed = 3;
            m_low = 0x90;
        } else if (c >= 0xF1 && c <= 0xF3) {
            m_needed = 3;
        } else if (c == 0xF4) {
            m_needed = 3;
            m_high = 0x8F; // nothing beyond U+10FFFF
        } else {
            m_valid = false;
        }
    }
    return m_valid;
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

QString decodeText(QByteArrayView bytes, TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? QString::fromUtf8(bytes) : decodeWindows1252(bytes);
}

TextEncoding DetectFileEncoding(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Could not open %1: %2").arg(path, file.errorString()));
    QByteArray chunk(ScanChunkSize, Qt::Uninitialized);
    Utf8Validator validator;
    for (;;) {
        const qint64 got = file.read(chunk.data(), ScanChunkSize);
        if (got < 0)
            throw Failure(QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        if (got == 0)
            break;
        if (!validator.add(QByteArrayView(chunk.constData(), got)))
            return TextEncoding::Windows1252;
    }
    return validator.validAtEnd() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}
