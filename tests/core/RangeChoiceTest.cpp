#include "import/RangeChoice.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Which files go in ranges: a file longer than the files that could go beside it together,
// never one among files of like sizes, where one file each keeps the connections busy.

namespace {

using Sizes = std::vector<qint64>;

std::vector<int> partsOf(const Sizes& sizes, int jobs) {
    const RangeChoice choice(sizes, jobs);
    std::vector<int> parts;
    for (int k = 1; k <= static_cast<int>(sizes.size()); ++k)
        parts.push_back(choice.partsAt(k));
    return parts;
}

} // namespace

TEST(RangeChoice, AFileGoesInRangesOnlyWhereItOutweighsTheFilesBesideIt) {
    const struct {
        Sizes sizes;
        int jobs;
        std::vector<int> parts;
    } cases[] = {
        {{100}, 2, {2}},         // alone
        {{100}, 1, {1}},         // one connection
        {{100, 100}, 2, {1, 1}}, // side by side
        {{100, 100, 100, 100, 100, 100, 100, 100}, 2, {1, 1, 1, 1, 1, 1, 1, 1}},
        {{10, 100, 10}, 2, {1, 2, 1}},               // a long one among short ones
        {{10, 10, 100, 10, 10}, 3, {1, 1, 3, 1, 1}}, // beside it: two each way
        {{10, 10, 40, 10, 10}, 3, {1, 1, 1, 1, 1}},  // not more than those beside it
        {{100, 1, 1, 1}, 2, {2, 1, 1, 1}},           // the first, then short ones
        {{0, 100, 0}, 4, {1, 4, 1}},                 // missing files weigh nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(partsOf(c.sizes, c.jobs), c.parts) << c.sizes.size() << " files, " << c.jobs;
    EXPECT_EQ(RangeChoice(Sizes{100}, 2).partsAt(0), 1);
    EXPECT_EQ(RangeChoice(Sizes{100}, 2).partsAt(2), 1);
}

// The sizes are those of the files on disk; the lanes open early only where a file at least
// as long as ranges need may have them.
TEST(RangeChoice, ReadsTheSizesOfTheListedFiles) {
    QTemporaryDir dir;
    const auto file = [&](const QString& name, int bytes) {
        QFile out(dir.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(bytes, 'x'));
        return out.fileName();
    };
    const QStringList files{file("a", 50), file("b", 500), dir.filePath("missing"), file("c", 50)};
    const RangeChoice choice(files, 2);
    EXPECT_EQ(choice.partsAt(1), 1);
    EXPECT_EQ(choice.partsAt(2), 2);
    EXPECT_TRUE(choice.anyInRangesFrom(500));
    EXPECT_FALSE(choice.anyInRangesFrom(501));
    EXPECT_FALSE(RangeChoice(QStringList{files[0], files[0]}, 2).anyInRangesFrom(1));
}
