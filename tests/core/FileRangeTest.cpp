#include "parallel/LaneEvents.h"
#include "support/TestEnvironment.h"
#include "textfile/InputFile.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <map>
#include <thread>

// A file cut into ranges at the record starts its field-count check noted gives, range after
// range, exactly the records one reader gives from the first data record to the end: each
// record once, whole, with its own line index and fields, whatever the file's encoding, line
// ends and quoted line breaks.

namespace {

// One record as the comparison sees it.
QString shown(const Record& record) {
    const QString text = record.bytes.isNull() ? record.text : QString::fromUtf8(record.bytes);
    return QStringLiteral("%1|%2|%3|%4")
        .arg(record.line)
        .arg(record.fieldCount)
        .arg(text, record.fields.join(QLatin1Char('\x1f')));
}

QStringList readRecords(RecordReader records) {
    QStringList all;
    Record record;
    while (records.next(record))
        all.append(shown(record));
    return all;
}

// A file of many records of two fields, the second quoted over two lines where asked.
QByteArray records(int count, const QByteArray& lineEnd, bool quotedBreaks) {
    QByteArray bytes = "number,words" + lineEnd;
    for (int n = 1; n <= count; ++n) {
        bytes += QByteArray::number(n) + ',';
        if (quotedBreaks && n % 3 == 0)
            bytes += "\"two" + lineEnd + "lines, " + QByteArray::number(n) + '"';
        else
            bytes += "J\xC3\xBCrgen " + QByteArray::number(n);
        bytes += lineEnd;
    }
    return bytes;
}

} // namespace

TEST(FileRange, RangesReadTogetherGiveEveryRecordOnceAsOneReaderDoes) {
    const struct {
        const char* name;
        QByteArray bytes;
        FieldRule rule;
        bool fromFirst; // no header line
    } cases[] = {
        {"plain, LF", records(3000, "\n", false), FieldRule::Plain, false},
        {"plain, CR LF, no final line end", records(3000, "\r\n", false).chopped(2),
         FieldRule::Plain, false},
        {"plain, CR alone", records(3000, "\r", false), FieldRule::Plain, false},
        {"plain, UTF-8 byte-order mark, from the first line",
         "\xEF\xBB\xBF" + records(3000, "\n", false), FieldRule::Plain, true},
        {"quoted, line breaks inside quotes", records(3000, "\n", true), FieldRule::Quoted, false},
        {"quoted, CR LF inside quotes", records(3000, "\r\n", true), FieldRule::Quoted, false},
        {"quoted, UTF-16", utf16LittleEndian(QString::fromUtf8(records(3000, "\r\n", true))),
         FieldRule::Quoted, false},
        {"Windows-1252 lines", QByteArray(records(3000, "\n", false)).replace("\xC3\xBC", "\xFC"),
         FieldRule::Plain, false},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        // A plain file's check may read its two halves at once: the starts it notes serve as well.
        for (const bool halves : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (halves ? ", checked in halves" : ""));
            const QString path = writeTestFile(dir, QStringLiteral("f.csv"), c.bytes);
            InputFile file(c.rule, QStringLiteral(","));
            file.noteRecordStartsEvery(1000);
            file.checkInHalvesFrom(halves ? 1 : 0);
            ASSERT_TRUE(file.open(path, {}));
            file.readHeader();
            ASSERT_FALSE(file.check({}).report);
            const QStringList whole = readRecords(file.dataRecords(c.fromFirst));
            for (const int parts : {1, 2, 3, 7, 40}) {
                const std::vector<FileRange> ranges = file.dataRanges(c.fromFirst, parts, 1000);
                EXPECT_EQ(ranges.size(), static_cast<std::size_t>(parts)) << parts << " parts";
                QStringList joined;
                // Read at once on threads of their own, as the lanes read them.
                std::vector<QStringList> read(ranges.size());
                std::vector<std::thread> readers;
                for (std::size_t k = 0; k < ranges.size(); ++k)
                    readers.emplace_back(
                        [&, k] { read[k] = readRecords(file.rangeRecords(ranges[k])); });
                for (std::thread& reader : readers)
                    reader.join();
                for (const QStringList& part : read) {
                    EXPECT_FALSE(part.isEmpty());
                    joined += part;
                }
                EXPECT_EQ(joined, whole) << parts << " parts";
            }
        }
    }
}

namespace {

// What a check tells, as the run shows it.
QString told(const InputFile::Checked& checked) {
    QString text = checked.cancelled ? QStringLiteral("stopped\n") : QString();
    if (checked.report)
        text += checked.report->windowText() + QLatin1Char('\n');
    return text + checked.notes.join(QLatin1Char('\n'));
}

// A header and lines of five fields, each 22 bytes with its line end, with some lines
// replaced. Of 4,000 lines the first half ends with line 2,000 (its line end is the first at or
// after the middle), the second begins with line 2,001.
QByteArray linesWith(int count, const std::map<int, QByteArray>& replaced) {
    QByteArray bytes = "a,b,c,d,e\n";
    for (int n = 1; n <= count; ++n) {
        const auto found = replaced.find(n);
        bytes += found != replaced.end()
                     ? found->second
                     : "1,J\xC3\xBCrgen " + QByteArray::number(n).rightJustified(5, '0') + ",3,4,5";
        bytes += '\n';
    }
    return bytes;
}

const QByteArray ElevenFields = "1,2,3,4,5,6,7,8,9,0,1"; // as long as a line of five

} // namespace

// A file checked in two halves at once tells what one reading from its start tells: the first
// record of another field count, or malformed, in file order, wherever the halves are cut, and
// the lines read as Windows-1252, counted and named in order; empty records are never reported.
TEST(FileRange, AFileCheckedInHalvesTellsWhatOneReadingTells) {
    std::map<int, QByteArray> windows;
    for (const int n : {3, 5, 7, 9, 11, 13, 15, 17, 3003, 3005, 3007, 3009, 3011})
        windows[n] = "1,M\xFCnchen,3,4,5";
    const struct {
        const char* name;
        QByteArray bytes;
        int records = 4001; // the empty line after the last line end is one
        FieldRule rule = FieldRule::Plain;
    } cases[] = {
        {"another count in the second half", linesWith(4000, {{3500, "1,2,3,4"}})},
        {"in both halves", linesWith(4000, {{1500, "1,2,3,4,5,6"}, {3500, "1,2,3,4"}})},
        {"on the first half's last line", linesWith(4000, {{2000, ElevenFields}})},
        {"on the second half's first line", linesWith(4000, {{2001, ElevenFields}})},
        {"Windows-1252 lines in both halves", linesWith(4000, windows)},
        {"empty records and carriage returns",
         linesWith(4000, {{2500, ""}, {3000, "\r"}, {3001, "1,2,3,4,5\r"}})},
        {"no line end after the middle", "a,b\n" + QByteArray(9000, 'x') + ",y", 1},
        // Quoted: a record over the cut makes the first half end in an open quote.
        {"quoted, a record over the cut",
         linesWith(4000, {{2000, QByteArray("1,\"opened").leftJustified(21, 'x')},
                          {2001, QByteArray("closed\",3,4,5").leftJustified(21, 'x')}}),
         4000, FieldRule::Quoted},
        {"quoted, a quote never closed", linesWith(4000, {{1000, "1,\"never closed"}}), 1000,
         FieldRule::Quoted},
        {"quoted, text after a quote in the second half",
         linesWith(4000, {{3500, "1,\"a\"b,3,4,5"}}), 4001, FieldRule::Quoted},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeTestFile(dir, QStringLiteral("f.csv"), c.bytes);
        QString tellsOnce;
        for (const bool halves : {false, true}) {
            InputFile file(c.rule, QStringLiteral(","));
            file.checkInHalvesFrom(halves ? 1 : 0);
            ASSERT_TRUE(file.open(path, {}));
            file.readHeader();
            const QString tells = told(file.check({}));
            if (!halves)
                tellsOnce = tells;
            else
                EXPECT_EQ(tells, tellsOnce);
            EXPECT_EQ(readRecords(file.dataRecords()).size(), c.records) << halves;
        }
    }
}

// A stop asked for while the halves are read is taken by both: the file is unchecked.
TEST(FileRange, AStopEndsBothHalves) {
    QTemporaryDir dir;
    const QString path = writeTestFile(dir, QStringLiteral("f.csv"), linesWith(200000, {}));
    InputFile file(FieldRule::Plain, QStringLiteral(","));
    file.checkInHalvesFrom(1);
    ASSERT_TRUE(file.open(path, {}));
    file.readHeader();
    int asked = 0;
    const InputFile::Checked checked = file.check({}, [&] { return ++asked >= 2; });
    EXPECT_TRUE(checked.cancelled);
    EXPECT_FALSE(checked.report);
}

// A short file, or one whose check noted no record start, stays one range; no range is shorter
// than asked.
TEST(FileRange, NoRangeIsShorterThanAsked) {
    const std::vector<RecordStart> starts{{100, 10}, {200, 20}, {300, 30}, {400, 40}};
    EXPECT_EQ(divideRecords({0, 0}, 450, starts, 4, 500).size(), 1U);
    EXPECT_EQ(divideRecords({0, 0}, 450, {}, 4, 100).size(), 1U);
    const std::vector<FileRange> two = divideRecords({5, 1}, 450, starts, 8, 200);
    ASSERT_EQ(two.size(), 2U);
    EXPECT_EQ(two[0].start, 5);
    EXPECT_EQ(two[0].end, 300);
    EXPECT_EQ(two[1].start, 300);
    EXPECT_EQ(two[1].firstLine, 30);
    EXPECT_EQ(two[1].end, -1);
}

// Reports of a lane come out in the order they went in, also those beyond the ones held in
// memory, which wait in a file, while the lane keeps pushing.
TEST(LaneEvents, KeepTheirOrderBeyondWhatIsHeldInMemory) {
    LaneEvents events;
    const int count = 5 * static_cast<int>(LaneEvents::Held) + 7;
    std::thread lane([&] {
        for (int n = 0; n < count; ++n) {
            LaneEvent event;
            event.kind = n % 2 ? LaneEvent::Kind::Rejected : LaneEvent::Kind::Notice;
            event.rejection.line = n;
            event.rejection.description = QStringLiteral("line %1").arg(n);
            event.notice.text = QStringLiteral("notice %1").arg(n);
            events.push(event);
        }
        events.end();
    });
    QThread::msleep(50); // the lane runs ahead of the reader
    int next = 0;
    while (!events.ended()) {
        for (const LaneEvent& event : events.take(100)) {
            EXPECT_EQ(event.rejection.line, next);
            EXPECT_EQ(event.kind, next % 2 ? LaneEvent::Kind::Rejected : LaneEvent::Kind::Notice);
            EXPECT_EQ(event.notice.text, QStringLiteral("notice %1").arg(next));
            ++next;
        }
    }
    lane.join();
    EXPECT_EQ(next, count);
}
