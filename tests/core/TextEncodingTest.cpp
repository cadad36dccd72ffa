#include "textfile/TextEncoding.h"

#include <gtest/gtest.h>

TEST(TextEncoding, EachLineIsUtf8WhenValidAndWindows1252Otherwise) {
    const struct {
        const char* name;
        QByteArray bytes;
        bool valid;
        bool multiByte;
    } cases[] = {
        {"ASCII", "plain,text, longer than eight bytes", true, false},
        {"two-byte",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         true, true},
        {"euro sign after eight ASCII bytes", "12345678\xE2\x82\xAC", true, true},
        {"largest code point", "\xF4\x8F\xBF\xBF", true, true},
        {"Windows-1252 umlaut",
         "Gr\xF6\xDF"
         "e",
         false, false},
        {"Windows-1252 euro", "5 \x80", false, false},
        {"overlong slash", "\xC0\xAF", false, false},
        {"overlong three-byte", "\xE0\x80\xAF", false, false},
        {"surrogate", "\xED\xA0\x80", false, false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, false},
        {"cut off at the end", "ok\xE2\x82", false, false},
        {"stray continuation byte",
         "a\x80"
         "b",
         false, false},
        {"UTF-8 and a stray byte", "\xC3\xA9t\xE9", false, true},
        {"a stray byte before UTF-8", "\xE9t\xC3\xA9", false, true},
    };
    for (const auto& c : cases) {
        const Utf8Shape shape = utf8Shape(c.bytes);
        EXPECT_EQ(shape.valid, c.valid) << c.name;
        EXPECT_EQ(shape.multiByte, c.multiByte) << c.name;
    }
}

TEST(TextEncoding, Windows1252DecodesEveryByte) {
    EXPECT_EQ(decodeWindows1252("\xE4\xF6\xDF\x80\x85\x9F\xFF"),
              QString::fromUtf16(u"\u00E4\u00F6\u00DF\u20AC\u2026\u0178\u00FF"));
    EXPECT_EQ(decodeWindows1252("\x81\x8D\x8F\x90\x9D"),
              QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D"));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = decodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || b >= 0xA0) {
            EXPECT_EQ(text[b].unicode(), b);
        }
    }
}
