#include "textfile/FieldCountCheck.h"
#include "support/TestEnvironment.h"
#include "support/TextFileKit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <utility>
#include <vector>

TEST(FieldCountCheck, ReportsTheFirstRecordThatDiffers) {
    const QString neverClosed = QStringLiteral("\nThe quote opened in line %1 is never closed.");
    const QString textAfter = QStringLiteral("\nA closing quote in line %1 is followed by text "
                                             "instead of the separator or the line's end.");
    const struct {
        const char* name;
        QByteArray bytes;
        QString separator;
        FieldRule rule;
        std::optional<QString> report;
    } cases[] = {
        {"all agree", "a,b,c\n1,2,3\n4,5,6\n", ",", FieldRule::Plain, std::nullopt},
        {"short line at index 4", "a,b,c\n1,2,3\n1,2,3\n1,2,3\n1,2\n1\n", ",", FieldRule::Plain,
         QStringLiteral("Line no 4: 1,2")},
        {"empty lines are never reported", "a,b\n\n1,2\n\n", ",", FieldRule::Plain, std::nullopt},
        {"an extra separator at the end", "a,b\n1,2,\n", ",", FieldRule::Plain,
         QStringLiteral("Line no 1: 1,2,")},
        {"quoted comma cuts the field", "Name,City\n\"Smith, John\",Rome\n", ",", FieldRule::Plain,
         QStringLiteral("Line no 1: \"Smith, John\",Rome")},
        {"one line only", "a,b", ",", FieldRule::Plain, std::nullopt},
        {"one line and a line feed", "a,b\n", ",", FieldRule::Plain, std::nullopt},
        {"empty file", "", ",", FieldRule::Plain, std::nullopt},
        {"line 0 is never looked at", "a\n1,2\n", ",", FieldRule::Plain,
         QStringLiteral("Line no 1: 1,2")},
        {"two-character separator", "a||b\n1|2||3\n1||2||3\n", "||", FieldRule::Plain,
         QStringLiteral("Line no 2: 1||2||3")},
        {"CR removed in the report", "a,b\r\n1,2\r\n3\r\n", ",", FieldRule::Plain,
         QStringLiteral("Line no 2: 3")},
        {"quoted: a quoted comma is part of the value", "Name,City\n\"Smith, John\",Rome\n", ",",
         FieldRule::Quoted, std::nullopt},
        {"quoted: a header with a quoted separator", "\"Name, full\",City\nAnn,Rome\n", ",",
         FieldRule::Quoted, std::nullopt},
        {"quoted: a record over lines counts as one", "a,b\n\"x\ny\",1\n\"\n\",2\n3\n", ",",
         FieldRule::Quoted, QStringLiteral("Line no 5: 3")},
        {"quoted: text after a closing quote", "a,b\r\n1,2\r\n\"x\"y,3\r\n", ",", FieldRule::Quoted,
         QStringLiteral("Line no 2: \"x\"y,3") + textAfter.arg(2)},
        {"quoted: text after a quote closed on a later line", "a,b\n\"x\ny\"z,1\n", ",",
         FieldRule::Quoted, QStringLiteral("Line no 1: \"x") + textAfter.arg(2)},
        {"quoted: a quote left open names its first line", "a,b\n1,2\n3,\"open\n4,5\n6,7\n", ",",
         FieldRule::Quoted, QStringLiteral("Line no 2: 3,\"open") + neverClosed.arg(2)},
        {"quoted: a quote left open after one closed on a later line", "a,b\n\"x\ny\",\"open\nz\n",
         ",", FieldRule::Quoted, QStringLiteral("Line no 1: \"x") + neverClosed.arg(2)},
        {"quoted: a header left open", "a,\"b\n1,2\n", ",", FieldRule::Quoted,
         QStringLiteral("Line no 0: a,\"b") + neverClosed.arg(0)},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = writeTestFile(dir, QStringLiteral("c.txt"), c.bytes);
        auto file = snapshot(path);
        const QStringList header = readHeader(*file, c.rule, c.separator);
        RecordReader records(*file, c.rule, c.separator);
        const auto report = CheckFieldCounts(records, static_cast<qint16>(header.size() - 1));
        EXPECT_EQ(report ? std::optional(report->windowText()) : std::nullopt, c.report) << c.name;
    }
}

// A long record is shown by its first 2,000 characters (code points, carriage returns left
// out) and the count of the others, whichever way its line was read: as bytes, as UTF-8 text,
// as Windows-1252 text, or as the quoted rule's text with its carriage returns.
TEST(FieldCountCheck, ShowsTheStartOfALongRecordAndCountsTheRest) {
    const QString smiley = QString::fromUtf16(u"\U0001F600");
    const QString open = QStringLiteral("The quote opened in line 1 is never closed.");
    const struct {
        const char* name;
        QByteArray line;
        FieldRule rule;
        QString shown;
        QString more;
        QString why;
    } cases[] = {
        {"ASCII bytes", QByteArray(5000, 'x'), FieldRule::Plain, QString(2000, 'x'),
         " \u2026 (3,000 more characters)", ""},
        {"exactly as many as are shown", QByteArray(2000, 'x'), FieldRule::Plain,
         QString(2000, 'x'), "", ""},
        {"UTF-8 bytes", QByteArray("\xC3\xA9").repeated(2500), FieldRule::Plain,
         QString(2000, QChar(0xE9)), " \u2026 (500 more characters)", ""},
        {"Windows-1252 text", QByteArray("\xE9").repeated(2500), FieldRule::Plain,
         QString(2000, QChar(0xE9)), " \u2026 (500 more characters)", ""},
        {"four-byte characters count once", QByteArray("\xF0\x9F\x98\x80").repeated(2001),
         FieldRule::Plain, smiley.repeated(2000), " \u2026 (1 more character)", ""},
        {"carriage returns are not counted", QByteArray("x\r").repeated(3000), FieldRule::Plain,
         QString(2000, 'x'), " \u2026 (1,000 more characters)", ""},
        {"quoted, a quote left open", "1,\"" + QByteArray(5000, 'y'), FieldRule::Quoted,
         "1,\"" + QString(1997, 'y'), " \u2026 (3,003 more characters)", open},
        {"quoted, carriage returns kept in the value", "1,\"" + QByteArray("y\r").repeated(3000),
         FieldRule::Quoted, "1,\"" + QString(1997, 'y'), " \u2026 (1,003 more characters)", open},
        {"quoted, a surrogate pair is never cut",
         "1,\"" + QByteArray("\xF0\x9F\x98\x80").repeated(2000), FieldRule::Quoted,
         "1,\"" + smiley.repeated(1997), " \u2026 (3 more characters)", open},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path =
            writeTestFile(dir, QStringLiteral("long.csv"), "a,b\n" + c.line + "\n");
        auto file = snapshot(path);
        RecordReader records(*file, c.rule, QStringLiteral(","));
        const auto report = CheckFieldCounts(records, 1);
        ASSERT_TRUE(report.has_value()) << c.name;
        EXPECT_EQ(report->recordText(), "Line no 1: " + c.shown + c.more) << c.name;
        EXPECT_EQ(report->why(), c.why) << c.name;
        EXPECT_EQ(report->windowText(),
                  report->recordText() + (c.why.isEmpty() ? QString() : "\n" + c.why))
            << c.name;
    }
}

namespace {

// What a reading of every record, one at a time, finds: the first record after the first whose
// field count differs (or any malformed one), and where the reader then stands.
struct Finding {
    std::optional<qint64> reportLine;
    qint64 lines = 0;
    qint64 lineAfter = 0;
    std::vector<std::pair<qint64, qint64>> starts; // offset and line of each noted start
};

Finding findingOf(const RecordReader& reader, std::optional<qint64> reportLine) {
    Finding found{reportLine, reader.linesRead(), reader.lineAfter(), {}};
    for (const RecordStart& start : reader.recordStarts())
        found.starts.emplace_back(start.offset, start.line);
    return found;
}

Finding readRecordByRecord(RecordReader& reader, qint16 expected) {
    Record record;
    for (bool first = true; reader.next(record, false); first = false) {
        if (record.problem != Record::Problem::None ||
            (!first && record.fieldCount > 0 && record.fieldCount - 1 != expected))
            return findingOf(reader, record.line);
    }
    return findingOf(reader, std::nullopt);
}

} // namespace

// The check passes over lines that need no closer look many at a time; it finds what reading
// each record finds, whatever the pieces the file is read in, under both rules, with each
// separator and line end (carriage returns alone too), where lines of another count, beyond
// ASCII, quoted (over several lines too) or empty fall, and notes the same record starts.
TEST(FieldCountCheck, PassingOverManyLinesFindsWhatEachRecordFinds) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> percent(0, 99);
    const QByteArray rare[] = {"\xC3\xA9", "\xE9", "\"q,\nr\"", "\"", "\r", "", ",,"};
    const char* const lineEnds[] = {"\n", "\r\n", "\r"};
    QTemporaryDir dir;
    for (int sample = 0; sample < 300; ++sample) {
        const QByteArray lineEnd = lineEnds[sample % 3];
        const char separator = ",;\t"[sample / 3 % 3];
        QByteArray bytes = (sample % 4 == 0 ? "\xEF\xBB\xBFh1,h2,h3" : "h1,h2,h3") + lineEnd;
        const int lines = 20 + sample;
        for (int line = 0; line < lines; ++line) {
            QByteArray text = "a" + QByteArray::number(line) + ",bb,c";
            if (percent(random) < 3)
                text.insert(percent(random) % text.size(), rare[percent(random) % 7]);
            bytes += text + lineEnd;
        }
        if (sample % 5 == 0)
            bytes.chop(1);
        bytes.replace(',', separator);
        const QString path = writeTestFile(dir, QStringLiteral("many.csv"), bytes);
        for (const FieldRule rule : {FieldRule::Plain, FieldRule::Quoted}) {
            const qint64 chunk = 1 + sample % 97;
            const qint64 spacing = sample % 7 == 0 ? 0 : 7 + sample % 50;
            auto file = snapshot(path);
            const QString separatorText(QLatin1Char{separator});
            RecordReader byRecords(*file, rule, separatorText, chunk);
            RecordReader checked(*file, rule, separatorText, chunk);
            if (spacing > 0) {
                byRecords.noteRecordStartsEvery(spacing);
                checked.noteRecordStartsEvery(spacing);
            }
            const Finding want = readRecordByRecord(byRecords, 2);
            const auto report = CheckFieldCounts(checked, 2);
            const Finding got =
                findingOf(checked, report ? std::optional(report->line) : std::nullopt);
            ASSERT_EQ(got.reportLine, want.reportLine) << sample << bytes.constData();
            EXPECT_EQ(got.lines, want.lines) << sample;
            EXPECT_EQ(got.lineAfter, want.lineAfter) << sample;
            EXPECT_EQ(got.starts, want.starts) << sample;
        }
    }
}
