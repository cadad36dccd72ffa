#include "import/Reconnector.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Sets QUENMARL_RECONNECT_SECONDS for the life of the object.
struct Bound {
    explicit Bound(int seconds) {
        qputenv("QUENMARL_RECONNECT_SECONDS", QByteArray::number(seconds));
    }
    ~Bound() { qunsetenv("QUENMARL_RECONNECT_SECONDS"); }
};

// A port of the test server's host where nothing listens.
ConnectionSettings nobodyListens(ConnectionSettings settings) {
    settings.port = QStringLiteral("1");
    return settings;
}

} // namespace

// A server that stays away: the wait ends at the bound with libpq's own message, the front
// end is told once, and a stop asked during the wait ends it at once.
TEST(Reconnector, WaitsUpToTheBoundAndNoLongerAndStopsAtOnce) {
    TestDatabase database;
    const Bound bound(2);
    EXPECT_EQ(Reconnector::boundSeconds(), 2);
    QList<int> told;
    Reconnector away(
        nobodyListens(database.settings()), [] { return false; },
        [&](int seconds) { told << seconds; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(away.open(), DatabaseError);
    EXPECT_GE(clock.elapsed(), 2000);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(told, QList<int>{2});

    std::atomic<bool> stop{false};
    Reconnector stopped(nobodyListens(database.settings()), [&] { return stop.load(); });
    std::thread asker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    clock.restart();
    EXPECT_THROW(stopped.open(), Stopped);
    asker.join();
    EXPECT_LT(clock.elapsed(), 1500);

    qunsetenv("QUENMARL_RECONNECT_SECONDS");
    EXPECT_EQ(Reconnector::boundSeconds(), 30);
}

// A backend ended by pg_terminate_backend: the connection reads as lost, and a new one is
// opened at once.
TEST(Reconnector, OpensAgainAfterTheBackendWasEnded) {
    TestDatabase database;
    Reconnector reconnect(database.settings(), [] { return false; });
    Connection connection = reconnect.open();
    EXPECT_FALSE(Reconnector::lost(connection));
    const QString pid = connection.query("SELECT pg_backend_pid()").value(0, 0);
    database.execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
    EXPECT_THROW(connection.execute("SELECT 1"), DatabaseError);
    EXPECT_TRUE(Reconnector::lost(connection));
    Connection again = reconnect.open();
    EXPECT_EQ(again.query("SELECT 1").value(0, 0), QStringLiteral("1"));
}

// The lookup of a transaction whose COMMIT answer was lost: committed, rolled back, and one
// still open in a backend whose client went (ended once the bound has passed, so that it can
// never commit later).
TEST(Reconnector, TellsWhetherATransactionCommitted) {
    TestDatabase database;
    database.execute("CREATE TABLE t(n int)");
    const Bound bound(1);
    Reconnector reconnect(database.settings(), [] { return false; });
    Connection lookup = reconnect.open();

    Connection first = reconnect.open();
    first.execute("BEGIN");
    const QString committedXid = first.query("SELECT txid_current()").value(0, 0);
    first.execute("INSERT INTO t VALUES (1); COMMIT");
    EXPECT_TRUE(reconnect.committed(lookup, committedXid));

    first.execute("BEGIN");
    const QString rolledBack = first.query("SELECT txid_current()").value(0, 0);
    first.execute("INSERT INTO t VALUES (2); ROLLBACK");
    EXPECT_FALSE(reconnect.committed(lookup, rolledBack));

    first.execute("BEGIN");
    const QString open = first.query("SELECT txid_current()").value(0, 0);
    first.execute("INSERT INTO t VALUES (3)");
    EXPECT_FALSE(reconnect.committed(lookup, open));
    EXPECT_THROW(first.execute("COMMIT"), DatabaseError) << "its backend was ended";
    EXPECT_EQ(database.column("SELECT n FROM t"), QStringList{"1"});
}
