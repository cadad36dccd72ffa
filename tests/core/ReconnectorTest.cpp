#include "resume/Reconnector.h"
#include "sending/copy/ChunkTransaction.h"
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

// A chunk's transaction as the COPY path opens it (ChunkTransaction: its id, its marker), one
// row in, over a connection of its own.
struct OpenChunk {
    explicit OpenChunk(const ConnectionSettings& settings)
        : connection(Connection::open(settings))
        , transaction(connection) {
        connection.run(transaction.prefix() + "INSERT INTO t VALUES (1)", transaction.answers());
    }
    Connection connection;
    ChunkTransaction transaction;
};

// A chunk whose COMMIT's answer was lost is settled from its marker: committed, rolled back, and
// one still open in a backend whose client went (ended once the bound has passed, so that it can
// never commit later; another backend in a transaction is left alone). Without a marker (the
// server refused one) the fate is unknown; a large object of another role under the marker's
// oid is not taken for it.
TEST(Reconnector, SettlesAChunkInDoubtFromItsMarker) {
    TestDatabase database;
    database.execute("CREATE TABLE t(n int)");
    database.execute(QStringLiteral("GRANT INSERT ON t TO %1").arg(TestServer::get().role));
    const Bound bound(1);
    Reconnector reconnect(database.settings(), [] { return false; });
    Connection lookup = reconnect.open();

    OpenChunk committed(database.settings());
    const ChunkInDoubt committedChunk = committed.transaction.inDoubt();
    ASSERT_NE(committedChunk.marker, 0u);
    committed.connection.execute("COMMIT");
    EXPECT_EQ(reconnect.settle(lookup, committedChunk), ChunkFate::Committed);

    OpenChunk rolledBack(database.settings());
    const ChunkInDoubt rolledBackChunk = rolledBack.transaction.inDoubt();
    rolledBack.connection.execute("ROLLBACK");
    EXPECT_EQ(reconnect.settle(lookup, rolledBackChunk), ChunkFate::NotCommitted);

    Connection bystander = Connection::open(database.settings());
    bystander.execute("BEGIN; INSERT INTO t VALUES (2)");
    OpenChunk open(database.settings());
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(reconnect.settle(lookup, open.transaction.inDoubt()), ChunkFate::NotCommitted);
    EXPECT_GE(clock.elapsed(), 1000) << "the open transaction was waited for";
    EXPECT_THROW(open.connection.execute("COMMIT"), DatabaseError) << "its backend was ended";
    EXPECT_NO_THROW(bystander.execute("COMMIT")) << "another backend is left alone";
    EXPECT_EQ(database.column("SELECT n FROM t ORDER BY n"), (QStringList{"1", "2"}));

    ChunkInDoubt unmarked = committedChunk;
    unmarked.marker = 0;
    EXPECT_EQ(reconnect.settle(lookup, unmarked), ChunkFate::Unknown);

    // A role's lookup does not take the superuser's large object for its own marker.
    ChunkInDoubt foreign = committedChunk;
    foreign.marker = lookup.query("SELECT lo_from_bytea(0, '\\x01')").value(0, 0).toUInt();
    foreign.token = QByteArray(1, '\x01');
    ConnectionSettings asRole = database.settings();
    asRole.user = TestServer::get().role;
    asRole.password = TestServer::get().rolePassword;
    Connection roleLookup = Connection::open(asRole);
    EXPECT_EQ(reconnect.settle(roleLookup, foreign), ChunkFate::NotCommitted);
    EXPECT_EQ(reconnect.settle(lookup, foreign), ChunkFate::Committed) << "its owner's is found";
}

// Each chunk's transaction removes the markers of the chunks committed before it, and the last
// ones go with removeMarkers(); where the role may not make large objects, chunks go without a
// marker and still commit.
TEST(ChunkTransaction, RemovesTheMarkersOfCommittedChunks) {
    TestDatabase database;
    database.execute("CREATE TABLE t(n int)");
    Connection connection = Connection::open(database.settings());
    ChunkTransaction transaction(connection);
    const auto markers = [&] {
        return database.column("SELECT count(*) FROM pg_largeobject_metadata").value(0);
    };
    for (int chunk = 1; chunk <= 3; ++chunk) {
        EXPECT_TRUE(
            connection.run(transaction.prefix() + "INSERT INTO t VALUES (1)", transaction.answers())
                .succeeded());
        EXPECT_FALSE(transaction.reopenAfterFailedBegin()) << "it opened";
        EXPECT_NE(transaction.inDoubt().marker, 0u);
        connection.execute(QString::fromLatin1(transaction.commitStatement()));
        transaction.committed();
        EXPECT_EQ(markers(), "1") << "chunk " << chunk << ": the earlier ones are removed";
    }
    transaction.removeMarkers();
    EXPECT_EQ(markers(), "0");
    EXPECT_TRUE(transaction.markersLeft().isEmpty());

    // A role that may not make large objects.
    database.execute("REVOKE EXECUTE ON FUNCTION lo_from_bytea(oid, bytea) FROM PUBLIC");
    database.execute(QStringLiteral("GRANT INSERT ON t TO %1").arg(TestServer::get().role));
    ConnectionSettings asRole = database.settings();
    asRole.user = TestServer::get().role;
    asRole.password = TestServer::get().rolePassword;
    Connection roleConnection = Connection::open(asRole);
    ChunkTransaction unmarked(roleConnection);
    // The first opening fails with its marker and is rolled back; the attempt goes again and
    // opens without one, as does every later transaction.
    for (int chunk = 1; chunk <= 2; ++chunk) {
        SCOPED_TRACE(chunk);
        const QByteArray insert = "INSERT INTO t VALUES (2)";
        const bool first =
            roleConnection.run(unmarked.prefix() + insert, unmarked.answers()).succeeded();
        EXPECT_EQ(first, chunk == 2);
        ASSERT_EQ(unmarked.reopenAfterFailedBegin(), chunk == 1);
        if (!first) {
            EXPECT_FALSE(unmarked.open());
            EXPECT_FALSE(roleConnection.inTransaction()) << "the failed opening was rolled back";
            EXPECT_TRUE(
                roleConnection.run(unmarked.prefix() + insert, unmarked.answers()).succeeded());
        }
        EXPECT_TRUE(unmarked.open());
        EXPECT_EQ(unmarked.inDoubt().marker, 0u);
        EXPECT_NE(unmarked.inDoubt().xid, 0);
        roleConnection.execute(QString::fromLatin1(unmarked.commitStatement()));
        unmarked.committed();
    }
    EXPECT_EQ(database.column("SELECT count(*) FROM t WHERE n = 2"), QStringList{"2"});
    EXPECT_TRUE(unmarked.markersLeft().isEmpty());
}
