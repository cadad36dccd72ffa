#include "sending/copy/PieceSizer.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Chunks of 1,000 lines, statements of 16 to 1,000 lines, one more statement costing as much
// as 8 lines sent again.
PieceSizer sizer() {
    return PieceSizer(1000, 16, 1000, 8.0);
}

struct Case {
    const char* name;
    std::vector<std::pair<qsizetype, qsizetype>> settled; // lines, rejected
    qsizetype limit;
};

const Case Cases[] = {
    {"NothingSettledYetSendsWholeChunks", {}, 1000},
    {"CleanStatementsKeepWholeChunks", {{1000, 0}, {1000, 0}}, 1000},
    // One line in a hundred: sqrt(2 * 8 / 0.01) = 40.
    {"OneLineInAHundredRejectedGivesFortyLines", {{1000, 10}}, 40},
    {"EveryLineRejectedStopsAtTheShortestStatement", {{1000, 1000}}, 16},
    // One line in 4,000: sqrt(2 * 8 * 4000) = 252.
    {"ARareRejectionAmongTheRecentLinesShortensLittle",
     {{1000, 0}, {1000, 0}, {1000, 0}, {1000, 1}},
     252},
    // Past the window of 4,000 lines what was seen counts for half: 5 rejected in 2,500 lines,
    // sqrt(2 * 8 / 0.002) = 89.
    {"OldRejectionsWeighLess", {{1000, 10}, {1000, 0}, {1000, 0}, {1000, 0}, {1000, 0}}, 89},
    {"ARejectionAfterCleanLinesIsWeighedAmongThem", {{3000, 0}, {1000, 10}}, 80},
};

class PieceSizerTest : public testing::TestWithParam<Case> {};

} // namespace

TEST_P(PieceSizerTest, LimitAfterTheStatementsSettled) {
    PieceSizer sizing = sizer();
    for (const auto& [lines, rejected] : GetParam().settled)
        sizing.settled(lines, rejected);
    EXPECT_EQ(sizing.limit(), GetParam().limit);
}

INSTANTIATE_TEST_SUITE_P(Cases, PieceSizerTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// While no line is rejected, statements only grow back, and reach whole chunks again once the
// last rejections are old enough to count for little: a burst of bad lines does not slow the
// rest of a large file.
TEST(PieceSizer, CleanLinesLetStatementsGrowBackToWholeChunks) {
    PieceSizer sizing = sizer();
    sizing.settled(100, 50);
    qsizetype previous = sizing.limit();
    EXPECT_EQ(previous, 16);
    qsizetype sent = 0;
    while (sent < 100000 && sizing.limit() < 1000) {
        sent += sizing.limit();
        sizing.settled(sizing.limit(), 0);
        EXPECT_GE(sizing.limit(), previous);
        previous = sizing.limit();
    }
    EXPECT_EQ(sizing.limit(), 1000);
    EXPECT_LT(sent, 40000) << "clean lines sent in short statements after the burst";
}
