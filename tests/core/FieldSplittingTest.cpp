#include "textfile/FieldSplitting.h"

#include <gtest/gtest.h>

TEST(FieldSplitting, SplitFieldsCutsPlainlyAtTheWholeSeparator) {
    const struct {
        const char* name;
        QString line;
        QString separator;
        QStringList fields;
    } cases[] = {
        {"plain", "a,b,c", ",", {"a", "b", "c"}},
        {"empty line has no fields", "", ",", {}},
        {"no separator in the line", "abc", ",", {"abc"}},
        {"separator only", ",", ",", {"", ""}},
        {"side by side, start and end", ",a,,b,", ",", {"", "a", "", "b", ""}},
        {"quotes mean nothing", "\"Smith, John\",x", ",", {"\"Smith", " John\"", "x"}},
        {"nothing is trimmed", " a , b ", ",", {" a ", " b "}},
        {"two-character separator", "a||b|c||", "||", {"a", "b|c", ""}},
        {"three bars: the first pair cuts", "a|||b", "||", {"a", "|b"}},
        {"letters match in the same case only", "aXbxc", "x", {"aXb", "c"}},
        {"empty separator keeps the line whole", "a,b", "", {"a,b"}},
        {"tab", "a\tb", "\t", {"a", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitFields(c.line, c.separator), c.fields) << c.name;
        EXPECT_EQ(fieldCount(c.line, c.separator), c.fields.size()) << c.name;
    }
}
