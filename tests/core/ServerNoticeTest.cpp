#include "database/ServerNotice.h"

#include <gtest/gtest.h>

TEST(ServerNotice, AnnouncesTheConnectionsEndByClass57Or08) {
    const struct {
        const char* sqlState;
        bool ends;
    } cases[] = {
        {"57P01", true},  {"57P02", true}, {"57P03", true},  {"57P05", true},
        {"08006", true},  {"08P01", true}, {"00000", false}, {"01000", false},
        {"P0001", false}, {"", false},     {"42P07", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ((ServerNotice{"", c.sqlState}.endsConnection()), c.ends) << c.sqlState;
}
