#include "import/FieldCountCheck.h"
#include "import/Statements.h"
#include "import/TextEncoding.h"
#include "import/TextFileReader.h"
#include "shell/Failure.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList readAll(const QString& path, TextEncoding encoding, qint64 chunkSize) {
    TextFileReader reader(path, encoding, chunkSize);
    QStringList lines;
    QString line;
    while (reader.readLine(line))
        lines.append(line);
    return lines;
}

} // namespace

// Every case is read with pieces of 1, 2, 3 and 4096 bytes, so a line feed, a carriage
// return, a byte-order mark or a multi-byte character split between two pieces is covered.
TEST(TextFileReader, GivesTheSameLinesWhateverThePieceSize) {
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"empty file has no lines", "", {}},
        {"carriage returns only", "\r\r", {}},
        {"one line without line feed", "a,b", {"a,b"}},
        {"final line feed adds an empty line", "a\nb\n", {"a", "b", ""}},
        {"CR LF and LF give the same lines", "a\r\nb\nc\r\n", {"a", "b", "c", ""}},
        {"a CR inside a line disappears", "a\rb,c\r\r\nd", {"ab,c", "d"}},
        {"line feed only", "\n", {"", ""}},
        {"empty lines in between", "h\n\n\nx", {"h", "", "", "x"}},
        {"byte-order mark is dropped", "\xEF\xBB\xBFName\nJ\xC3\xBCrgen", {"Name", "Jürgen"}},
        {"byte-order mark alone", "\xEF\xBB\xBF", {}},
        {"four-byte character", "\xF0\x9F\x98\x80,x", {QString::fromUtf8("😀,x")}},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = writeTestFile(dir, QStringLiteral("f.txt"), c.bytes);
        ASSERT_EQ(DetectFileEncoding(path), TextEncoding::Utf8) << c.name;
        for (const qint64 chunk : {1, 2, 3, 4096})
            EXPECT_EQ(readAll(path, TextEncoding::Utf8, chunk), c.lines)
                << c.name << ", pieces of " << chunk;
    }
}

TEST(TextEncoding, ValidUtf8IsUtf8AndAnythingElseWindows1252) {
    const struct {
        const char* name;
        QByteArray bytes;
        TextEncoding encoding;
    } cases[] = {
        {"ASCII", "plain,text\n", TextEncoding::Utf8},
        {"two-byte",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         TextEncoding::Utf8},
        {"euro sign", "\xE2\x82\xAC", TextEncoding::Utf8},
        {"largest code point", "\xF4\x8F\xBF\xBF", TextEncoding::Utf8},
        {"Windows-1252 umlaut",
         "Gr\xF6\xDF"
         "e",
         TextEncoding::Windows1252},
        {"Windows-1252 euro", "5 \x80", TextEncoding::Windows1252},
        {"overlong slash", "\xC0\xAF", TextEncoding::Windows1252},
        {"overlong three-byte", "\xE0\x80\xAF", TextEncoding::Windows1252},
        {"surrogate", "\xED\xA0\x80", TextEncoding::Windows1252},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::Windows1252},
        {"cut off at the end", "ok\xE2\x82", TextEncoding::Windows1252},
        {"stray continuation byte",
         "a\x80"
         "b",
         TextEncoding::Windows1252},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        EXPECT_EQ(DetectFileEncoding(writeTestFile(dir, QStringLiteral("e.txt"), c.bytes)),
                  c.encoding)
            << c.name;
    }
    // Invalid UTF-8 far beyond the first piece the scan reads still decides the file.
    QByteArray late(3 << 20, 'a');
    late.append("\xFC");
    EXPECT_EQ(DetectFileEncoding(writeTestFile(dir, QStringLiteral("late.txt"), late)),
              TextEncoding::Windows1252);
    EXPECT_THROW(DetectFileEncoding(dir.filePath(QStringLiteral("missing.txt"))), Failure);
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
    // A Windows-1252 file is read without dropping what looks like a byte-order mark.
    QTemporaryDir dir;
    const QString path = writeTestFile(dir, QStringLiteral("w.txt"), "\xEF\xBB\xBFx\r\n\xE4");
    EXPECT_EQ(readAll(path, TextEncoding::Windows1252, 2), (QStringList{"ï»¿x", "ä"}));
}

TEST(CheckFieldCounts, ReportsTheFirstLineThatDiffers) {
    const struct {
        const char* name;
        QByteArray bytes;
        QString separator;
        std::optional<QString> report;
    } cases[] = {
        {"all agree", "a,b,c\n1,2,3\n4,5,6\n", ",", std::nullopt},
        {"short line at index 4", "a,b,c\n1,2,3\n1,2,3\n1,2,3\n1,2\n1\n", ",",
         QStringLiteral("Line no 4: 1,2")},
        {"empty lines are never reported", "a,b\n\n1,2\n\n", ",", std::nullopt},
        {"an extra separator at the end", "a,b\n1,2,\n", ",", QStringLiteral("Line no 1: 1,2,")},
        {"quoted comma cuts the field", "Name,City\n\"Smith, John\",Rome\n", ",",
         QStringLiteral("Line no 1: \"Smith, John\",Rome")},
        {"one line only", "a,b", ",", std::nullopt},
        {"one line and a line feed", "a,b\n", ",", std::nullopt},
        {"empty file", "", ",", std::nullopt},
        {"line 0 is never looked at", "a\n1,2\n", ",", QStringLiteral("Line no 1: 1,2")},
        {"two-character separator", "a||b\n1|2||3\n1||2||3\n", "||",
         QStringLiteral("Line no 2: 1||2||3")},
        {"CR removed in the report", "a,b\r\n1,2\r\n3\r\n", ",", QStringLiteral("Line no 2: 3")},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = writeTestFile(dir, QStringLiteral("c.txt"), c.bytes);
        TextFileReader first(path, TextEncoding::Utf8);
        QString line0;
        first.readLine(line0);
        const qint16 expected = static_cast<qint16>(FieldCount(line0, c.separator) - 1);
        EXPECT_EQ(CheckFieldCounts(path, expected, c.separator, TextEncoding::Utf8), c.report)
            << c.name;
    }
    EXPECT_THROW(CheckFieldCounts(dir.filePath(QStringLiteral("none")), 1, ",", TextEncoding::Utf8),
                 Failure);
}
