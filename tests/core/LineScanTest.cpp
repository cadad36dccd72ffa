#include "textfile/LineScan.h"
#include "sending/copy/SeparatorsToTabs.h"

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
