#include "support/TestEnvironment.h"
#include "support/TextFileKit.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

// Every case is read with pieces of 1, 2, 3 and 4096 bytes, so a line feed, a carriage
// return, a byte-order mark or a multi-byte character split between two pieces is covered.
TEST(RecordReader, GivesTheSameLinesWhateverThePieceSize) {
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
