#include "shell/Failure.h"
#include "support/TestEnvironment.h"
#include "textfile/FieldCountCheck.h"
#include "textfile/FileSnapshot.h"
#include "textfile/RecordReader.h"
#include "textfile/TextEncoding.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

namespace {

std::unique_ptr<FileSnapshot> snapshot(const QString& path) {
    return FileSnapshot::open(path, {});
}

// The first lines of every record, as a plain reader gives them.
QStringList readAll(FileSnapshot& file, qint64 chunkSize = 1 << 20) {
    RecordReader reader(file, FieldRule::Plain, QStringLiteral(","), chunkSize);
    QStringList lines;
    Record record;
    while (reader.next(record))
        lines.append(record.text);
    return lines;
}

QStringList readAll(const QString& path, qint64 chunkSize = 1 << 20) {
    return readAll(*snapshot(path), chunkSize);
}

} // namespace

// Every case is read with pieces of 1, 2, 3 and 4096 bytes, so a line feed, a carriage
// return, a byte-order mark or a multi-byte character split between two pieces is covered.
TEST(TextFileReader, GivesTheSameLinesWhateverThePieceSize) {
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList lines;
        qint64 counted; // as an editor counts them: no line after the final line end
    } cases[] = {
        {"empty file has no lines", "", {}, 0},
        {"one line without line feed", "a,b", {"a,b"}, 1},
        {"final line feed adds an empty line", "a\nb\n", {"a", "b", ""}, 2},
        {"CR LF and LF give the same lines", "a\r\nb\nc\r\n", {"a", "b", "c", ""}, 3},
        {"a CR inside a line disappears", "a\rb,c\r\r\nd", {"ab,c", "d"}, 2},
        {"line feed only", "\n", {"", ""}, 1},
        {"empty lines in between", "h\n\n\nx", {"h", "", "", "x"}, 4},
        {"byte-order mark is dropped", "\xEF\xBB\xBFName\nJ\xC3\xBCrgen", {"Name", "Jürgen"}, 2},
        {"byte-order mark alone", "\xEF\xBB\xBF", {}, 0},
        {"four-byte character", "\xF0\x9F\x98\x80,x", {QString::fromUtf8("😀,x")}, 1},
        // Without a line feed anywhere, the carriage return ends the lines.
        {"carriage returns alone end lines", "a,b\rc,d\r", {"a,b", "c,d", ""}, 2},
        {"carriage returns only", "\r\r", {"", "", ""}, 2},
        {"one line feed makes every CR a character", "a\rb\rc\nd", {"abc", "d"}, 2},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString path = writeTestFile(dir, QStringLiteral("f.txt"), c.bytes);
        for (const qint64 chunk : {1, 2, 3, 4096})
            EXPECT_EQ(readAll(path, chunk), c.lines) << c.name << ", pieces of " << chunk;
        auto file = snapshot(path);
        RecordReader reader(*file, FieldRule::Plain, QStringLiteral(","), 2);
        Record record;
        while (reader.next(record)) {
        }
        EXPECT_EQ(reader.linesRead(), c.counted) << c.name;
    }
}

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

// Which lines the note names; the rule itself is checked in a whole run (ReadingRunTest).
TEST(LineDecoder, NamesTheLinesReadAsWindows1252WhenTheFileAlsoHoldsUtf8) {
    QTemporaryDir dir;
    Record record;
    const struct {
        const char* name;
        QByteArray bytes;
        std::optional<QString> lines; // the list the note names; no value: no note
    } cases[] = {
        {"valid UTF-8 throughout", "a\n\xC3\xA9\n", std::nullopt},
        {"Windows-1252 throughout", "a\n\xE9t\xE9\n\xFC\n", std::nullopt},
        {"UTF-8 only in the line that is not valid", "a\n\xC3\xA9t\xE9\n", "1"},
        {"two lines", "\xC3\xA9\n\xE9\nx\n\xE9\n", "1 and 3"},
        {"three lines", "\xC3\xA9\n\xE9\n\xE9\n\xE9\n", "1, 2 and 3"},
        {"more than ten", QByteArray("\xC3\xA9\n") + QByteArray("\xE9\n").repeated(12),
         "1, 2, 3, 4, 5, 6, 7, 8, 9, 10 and 2 more"},
    };
    for (const auto& c : cases) {
        const QString path = writeTestFile(dir, "c.csv", c.bytes);
        auto one = snapshot(path);
        RecordReader each(*one, FieldRule::Plain, ",");
        while (each.next(record)) {
        }
        const std::optional<QString> note = each.decoder().note(path);
        ASSERT_EQ(note.has_value(), c.lines.has_value()) << c.name;
        if (note) {
            EXPECT_TRUE(note->endsWith(": Line no " + *c.lines + ".")) << note->toStdString();
        }
    }
}

// Counting (the field-count check) and handing lines over as bytes (the rows sent) see each
// plain line as reading it as text and cutting it into fields does: the same field counts, the
// same text, and the same lines named as read as Windows-1252.
TEST(RecordReader, BytesAndTextAgreeOnEveryLine) {
    const QByteArray bytes = "h,a;b\t|\"c\r\n"
                             "\r\n"
                             "\r\r\n"
                             "1,2\r3;4\r\n"
                             "\xC3\xA9,\xE2\x82\xAC;\xC2\xA7|x\n"
                             "\xE9,\x80;\xA7\t\"\r\n"
                             ",,;;\t\t||\"\"\n"
                             "\xEF\xBB\xBF,in the middle\n"
                             "\xC2\xA7\xC2\xA7"
                             "a\xC2\xA7\n"
                             "\xA7x\xA7\n"
                             "last,without;line\tfeed";
    QTemporaryDir dir;
    const QString path = writeTestFile(dir, QStringLiteral("mixed.csv"), bytes);
    struct Seen {
        QList<qsizetype> counts;
        QStringList lines;
        std::optional<QString> note;
    };
    enum class Way { Text, Counting, Bytes };
    const auto read = [&](const QString& separator, Way way, qint64 chunk) {
        auto file = snapshot(path);
        RecordReader reader(*file, FieldRule::Plain, separator, chunk);
        if (way == Way::Bytes)
            reader.keepLinesAsBytes();
        Seen seen;
        Record record;
        while (reader.next(record, way != Way::Counting)) {
            seen.counts.append(way == Way::Text ? record.fields.size() : record.fieldCount);
            seen.lines.append(record.bytes.isNull() ? record.text
                                                    : QString::fromUtf8(record.bytes));
        }
        seen.note = reader.decoder().note(path);
        return seen;
    };
    for (const QString& separator :
         {QStringLiteral(","), QStringLiteral(";"), QStringLiteral("\t"), QStringLiteral("\""),
          QStringLiteral("|"), QStringLiteral("\u00a7"), QStringLiteral("||"), QStringLiteral("\r"),
          QStringLiteral("\n")}) {
        const Seen text = read(separator, Way::Text, 1 << 20);
        ASSERT_TRUE(text.note.has_value()); // the file mixes UTF-8 and Windows-1252 lines
        for (const Way way : {Way::Counting, Way::Bytes}) {
            for (const qint64 chunk : {qint64(3), qint64(1) << 20}) {
                const Seen other = read(separator, way, chunk);
                const std::string name = "separator " +
                                         QString(separator).toUtf8().toHex().toStdString() +
                                         (way == Way::Counting ? ", counting" : ", as bytes") +
                                         ", pieces of " + std::to_string(chunk);
                EXPECT_EQ(other.counts, text.counts) << name;
                EXPECT_EQ(other.lines, text.lines) << name;
                EXPECT_EQ(other.note, text.note) << name;
            }
        }
    }
}

// Under the quoted rule too, the field-count check counts each record as cutting it into its
// fields does: the same records, counts, problems, reports and note.
TEST(RecordReader, QuotedCountingAgreesWithCutting) {
    const QByteArray bytes = "h,\"a;b\",c\r\n"
                             "\"1\",\"x\"\"y\",\"\"\r\n"
                             "\r\r\n"
                             "\n"
                             "\"over\r\n"
                             "two\",lines;,\"\"\n"
                             "a\"b,c\"d,e\n"
                             "\"q\"\r,\r\"r\"\r;,\n"
                             "x\ry,1,2\n"
                             "\"closed\"after,1\n"
                             "\xC3\xA9,\"\xE2\x82\xAC\",\xC2\xA7\n"
                             "\xE9,\"\x80\",3\n"
                             "\"a|b\"|c||d\t\"e\"\n"
                             "\"left open,1\n"
                             "2,3\n";
    QTemporaryDir dir;
    const QString path = writeTestFile(dir, QStringLiteral("quoted.csv"), bytes);
    struct Seen {
        QStringList records; // line, count, problem and report of each
        std::optional<QString> note;
    };
    const auto read = [&](const QString& separator, bool withFields) {
        auto file = snapshot(path);
        RecordReader reader(*file, FieldRule::Quoted, separator, 5);
        Seen seen;
        Record record;
        while (reader.next(record, withFields)) {
            const qsizetype count = withFields ? record.fields.size() : record.fieldCount;
            seen.records.append(QStringLiteral("%1 %2 %3 %4")
                                    .arg(record.line)
                                    .arg(count)
                                    .arg(static_cast<int>(record.problem))
                                    .arg(recordReport(record).windowText()));
        }
        seen.note = reader.decoder().note(path);
        return seen;
    };
    for (const QString& separator :
         {QStringLiteral(","), QStringLiteral(";"), QStringLiteral("\t"), QStringLiteral("|"),
          QStringLiteral("\""), QStringLiteral("\u00a7"), QStringLiteral("||")}) {
        const Seen cut = read(separator, true);
        const Seen counted = read(separator, false);
        const std::string name = "separator " + separator.toUtf8().toHex().toStdString();
        EXPECT_EQ(counted.records, cut.records) << name;
        EXPECT_EQ(counted.note, cut.note) << name;
        ASSERT_TRUE(cut.note.has_value()) << name;
    }
}

TEST(FileSnapshot, Utf16FilesAreReadAsUtf16) {
    const QString text = QString::fromUtf16(u"Name,Wort\r\nJ\u00FCrgen,Gr\u00F6\u00DFe \U0001F600"
                                            u"\r\n\uFEFFzwei,\u20AC\r\n");
    QByteArray little("\xFF\xFE");
    QByteArray big("\xFE\xFF");
    for (const QChar c : text) {
        little.append(static_cast<char>(c.unicode() & 0xFF))
            .append(static_cast<char>(c.unicode() >> 8));
        big.append(static_cast<char>(c.unicode() >> 8))
            .append(static_cast<char>(c.unicode() & 0xFF));
    }
    const QStringList expected{"Name,Wort",
                               QString::fromUtf16(u"J\u00FCrgen,Gr\u00F6\u00DFe \U0001F600"),
                               QString::fromUtf16(u"\uFEFFzwei,\u20AC"), ""};
    QTemporaryDir dir;
    for (const QByteArray& bytes : {little, big}) {
        auto file = snapshot(writeTestFile(dir, "u.txt", bytes));
        EXPECT_EQ(readAll(*file, 3), expected);
        EXPECT_TRUE(file->note().isEmpty());
    }
    // A byte short of whole code units, or a lone surrogate, is told.
    auto odd = snapshot(writeTestFile(dir, "odd.txt", little + "x"));
    EXPECT_EQ(readAll(*odd).value(0), "Name,Wort");
    EXPECT_TRUE(odd->note().contains("is not valid UTF-16")) << odd->note().toStdString();
    auto lone = snapshot(writeTestFile(dir, "lone.txt",
                                       QByteArray("\xFF\xFE"
                                                  "a\0\x00\xD8,\0",
                                                  8)));
    readAll(*lone);
    EXPECT_TRUE(lone->note().contains("is not valid UTF-16"));
}

TEST(FileSnapshot, PipesAndDevicesAreReadOnceIntoATemporaryCopy) {
    QTemporaryDir dir;
    QTemporaryDir temporary; // the copies' folder, watched for names they leave
    const QByteArray oldTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::thread writer([&] {
        QFile out(fifo);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)); // waits for the reader
        for (int i = 0; i < 3000; ++i)
            out.write(QByteArray::number(i) + ",row\n");
    });
    auto file = snapshot(fifo);
    writer.join();
    ASSERT_TRUE(file);
    // Read twice, the same lines both times: the copy is read, not the pipe.
    for (int pass = 0; pass < 2; ++pass) {
        const QStringList lines = readAll(*file);
        ASSERT_EQ(lines.size(), 3001);
        EXPECT_EQ(lines[2999], "2999,row");
    }
    // The copy has no name, even while it is in use.
    EXPECT_EQ(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
    if (oldTemporary.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTemporary);

    // A character device.
    EXPECT_EQ(readAll("/dev/null"), QStringList());

    // A pipe nobody writes to: given up as soon as cancel answers yes.
    std::atomic<int> asked{0};
    const auto none = FileSnapshot::open(fifo, [&] { return ++asked > 3; });
    EXPECT_FALSE(none);
    EXPECT_EQ(asked.load(), 4);

    EXPECT_THROW(snapshot(dir.filePath("missing")), Failure);
    EXPECT_THROW(snapshot(dir.path()), Failure);
}

TEST(CheckFieldCounts, ReportsTheFirstRecordThatDiffers) {
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
TEST(CheckFieldCounts, ShowsTheStartOfALongRecordAndCountsTheRest) {
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
