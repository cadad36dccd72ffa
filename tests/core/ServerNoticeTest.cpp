#include "database/ServerNotice.h"
#include "database/Connection.h"
#include "support/TestEnvironment.h"

#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

// What libpq hands over as a notice although the server sent it as an error: a backend's last
// words while the connection waits (here its idle-in-transaction timeout), which also make the
// connection no longer idle; a real notice is not an error.
TEST(ServerNotice, AnErrorThatArrivesOutsideAnAnswerIsMarked) {
    TestDatabase db;
    Connection connection = Connection::open(db.settings());
    std::vector<ServerNotice> heard;
    connection.setNoticeReceiver([&](const ServerNotice& notice) { heard.push_back(notice); });
    connection.execute("DO $$BEGIN RAISE NOTICE 'only a notice'; END$$");
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_FALSE(heard[0].error);
    EXPECT_FALSE(heard[0].errorOutsideAnAnswer());

    connection.execute("SET idle_in_transaction_session_timeout = 100");
    connection.execute("BEGIN");
    QThread::msleep(500);
    EXPECT_FALSE(connection.idle());
    const auto last = std::find_if(heard.begin(), heard.end(), [](const ServerNotice& notice) {
        return notice.sqlState == QLatin1String("25P03");
    });
    ASSERT_NE(last, heard.end()) << "the backend's last words";
    EXPECT_TRUE(last->error);
    EXPECT_TRUE(last->errorOutsideAnAnswer()) << "not shown: the connection is lost anyway";
}
