#include "shell/SeparatorText.h"

#include <gtest/gtest.h>

TEST(SeparatorText, BackslashTStandsForATab) {
    const std::pair<const char*, const char*> cases[] = {
        {"\\t", "\t"}, {",", ","}, {"\\t|\\t", "\t|\t"}, {"\t", "\t"}, {"\\", "\\"}, {"\\n", "\\n"},
    };
    for (const auto& [typed, separator] : cases)
        EXPECT_EQ(separatorFromTyped(QString::fromLatin1(typed)), QString::fromLatin1(separator))
            << typed;
}
