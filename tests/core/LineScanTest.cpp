#include "textfile/LineScan.h"
#include "sending/copy/SeparatorsToTabs.h"
#include "textfile/AgreeingLines.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Bytes that each question of a scan turns on, and ordinary ones.
const char Alphabet[] = {',',    ';',    '\t',   '\r',   '\\',   '"', '\0', '\x01', '\x08', '\x09',
                         '\x0b', '\x7f', '\x80', '\xc3', '\xff', 'a', 'N',  ' ',    '0'};

// A line of the length, its bytes drawn at random: mostly ordinary ones, so that the lines of
// every answer (none escaped, none beyond ASCII) occur often.
std::vector<char> randomLine(std::mt19937& random, std::size_t length, int rareInThousand) {
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(Alphabet) - 1);
    std::uniform_int_distribution<int> perThousand(0, 999);
    std::vector<char> line(length);
    for (char& c : line) {
        c = Alphabet[pick(random)];
        // Rare bytes other than the separators become letters, most of the time.
        if (c != ',' && c != '\t' && perThousand(random) >= rareInThousand)
            c = 'x';
    }
    return line;
}

void expectSameScan(const std::vector<char>& line, char separator) {
    // The line fills its allocation exactly, so that a read beyond its end is caught by the
    // address sanitizer.
    const QByteArrayView bytes(line.data(), static_cast<qsizetype>(line.size()));
    const LineScan fast = scanLine(bytes, separator);
    const LineScan slow = scanLineBytewise(bytes, separator);
    const QByteArray shown = bytes.toByteArray().toHex();
    EXPECT_EQ(fast.separators, slow.separators) << shown.constData();
    EXPECT_EQ(fast.returns, slow.returns) << shown.constData();
    EXPECT_EQ(fast.ascii, slow.ascii) << shown.constData();
    EXPECT_EQ(fast.unescaped, slow.unescaped) << shown.constData();
}

void expectSameTabs(const std::vector<char>& line, char separator) {
    bool previousCut = false;
    bool emptyField = false;
    std::vector<char> want(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool cut = line[i] == separator;
        emptyField = emptyField || (cut && previousCut);
        want[i] = cut ? '\t' : line[i];
        previousCut = cut;
    }
    std::vector<char> out(line.size()); // exactly the line's room
    const bool whole =
        separatorsToTabs(out.data(), {line.data(), qsizetype(line.size())}, separator);
    ASSERT_EQ(whole, !emptyField && !previousCut)
        << QByteArray(line.data(), qsizetype(line.size())).toHex().constData();
    if (whole) {
        EXPECT_EQ(out, want);
    }
}

} // namespace

// Every length across the sixteen-byte steps and their last, overlapping step, at every
// mixture of rare bytes, and each separator: the same answers as a byte at a time.
TEST(LineScanTest, SixteenBytesAtATimeAnswerAsOneByteAtATime) {
    std::mt19937 random(20261210);
    for (const char separator : {',', '\t', ';'}) {
        for (std::size_t length = 0; length <= 80; ++length) {
            for (const int rare : {0, 5, 50, 1000}) {
                for (int sample = 0; sample < 12; ++sample) {
                    const std::vector<char> line = randomLine(random, length, rare);
                    expectSameScan(line, separator);
                    expectSameTabs(line, separator);
                }
            }
        }
    }
}

// A long line: the counts pass what one lane of sixteen bytes can hold many times over.
TEST(LineScanTest, ALongLineOfSeparatorsIsCountedWhole) {
    std::vector<char> line(100003, ',');
    line[50000] = '\r';
    line[77777] = '\x80';
    const LineScan scan = scanLine({line.data(), qsizetype(line.size())}, ',');
    EXPECT_EQ(scan.separators, 100001);
    EXPECT_EQ(scan.returns, 1);
    EXPECT_FALSE(scan.ascii);
    EXPECT_TRUE(scan.unescaped);
}

// Empty fields after the first make the line go the slow way, wherever they are: where two
// separators meet across a step of sixteen bytes, inside the last step, at the line's end.
TEST(LineScanTest, EmptyFieldsAreFoundAcrossTheSteps) {
    const QByteArray fields = "aaaaaaaaaaaaaaa,bbbbbbbbbbbbbbb,ccccccccccc";
    std::vector<char> out(64);
    EXPECT_TRUE(separatorsToTabs(out.data(), fields, ','));
    EXPECT_EQ(QByteArray(out.data(), fields.size()), QByteArray(fields).replace(',', '\t'));
    EXPECT_TRUE(separatorsToTabs(out.data(), ",aaaaaaaaaaaaaaaaaaaa", ','));     // the first empty
    EXPECT_FALSE(separatorsToTabs(out.data(), "aaaaaaaaaaaaaaa,,aaaaaa", ','));  // 15 and 16
    EXPECT_FALSE(separatorsToTabs(out.data(), "aaaaaaaaaaaaaaaaaaaaa,,a", ',')); // last step
    EXPECT_FALSE(separatorsToTabs(out.data(), "aaaaaaaaaaaaaaaaaaaaaaaa,", ','));
}

namespace {

// Lines of about the shape's field count, some with one more or one less, some empty or of
// carriage returns only, some with a byte beyond ASCII or a quote; the line end is the shape's.
QByteArray randomLines(std::mt19937& random, const LineShape& shape, int count) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> width(0, 9);
    QByteArray bytes;
    for (int line = 0; line < count; ++line) {
        const int kind = percent(random);
        if (kind < 5) {
            bytes += QByteArray(width(random) % 3, '\r') + shape.lineEnd;
            continue;
        }
        const qint64 separators = shape.separators + (kind < 8 ? 1 : kind < 11 ? -1 : 0);
        for (qint64 field = 0; field <= separators; ++field) {
            bytes += QByteArray(width(random), 'v');
            if (field < separators)
                bytes += shape.separator;
        }
        if (kind >= 11 && kind < 13)
            bytes.insert(width(random) % (bytes.size() + 1), kind == 11 ? '\xC3' : '"');
        if (kind >= 13 && kind < 20)
            bytes += '\r';
        bytes += shape.lineEnd;
    }
    return bytes;
}

} // namespace

// Passing over agreeing lines sixteen bytes at a time stops where a byte at a time stops: at
// lines of another field count, beyond ASCII or with a quote, wherever they fall across the
// steps, at the bytes after the last line end, and after the line that reaches the limit.
TEST(LineScanTest, AgreeingLinesStopWhereOneByteAtATimeStops) {
    std::mt19937 random(20261210);
    for (const LineShape shape : {LineShape{',', '\n', '"', 3}, LineShape{'\t', '\n', 0, 0},
                                  LineShape{';', '\r', '"', 1}}) {
        for (int sample = 0; sample < 3000; ++sample) {
            QByteArray bytes = randomLines(random, shape, 1 + sample % 20);
            bytes.chop(sample % 3); // a last line without its end, or shorter
            const qsizetype until = sample % 5 == 0 ? sample % 40 : bytes.size() + 1;
            const std::vector<char> exact(bytes.begin(), bytes.end()); // a read beyond is caught
            const QByteArrayView view(exact.data(), qsizetype(exact.size()));
            const AgreeingRun fast = agreeingLines(view, shape, until);
            const AgreeingRun slow = agreeingLinesBytewise(view, shape, until);
            ASSERT_EQ(fast.bytes, slow.bytes) << bytes.toHex().constData() << " until " << until;
            ASSERT_EQ(fast.lines, slow.lines) << bytes.toHex().constData();
        }
    }
    // What a byte at a time answers, by hand: two lines agree, the empty one of a carriage
    // return among them; the third has a field too many.
    const LineShape pairs{',', '\n', '"', 1};
    EXPECT_EQ(agreeingLinesBytewise("a,b\n\r\na,b,c\nx,y\n", pairs, 100).bytes, 6);
    EXPECT_EQ(agreeingLinesBytewise("a,b\n\r\na,b,c\nx,y\n", pairs, 100).lines, 2);
    EXPECT_EQ(agreeingLinesBytewise("a,b\r\nc,d\n\"e\",f\n", pairs, 100).lines, 2);
    EXPECT_EQ(agreeingLinesBytewise("a,b\nc,d\ne,f", pairs, 5).lines, 2); // the limit at 5
    EXPECT_EQ(agreeingLinesBytewise("a,\xC3\xA9\n", pairs, 100).lines, 0);
}
