#include "resume/RunConnection.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

QString backend(Connection& connection) {
    return connection.query(QStringLiteral("SELECT pg_backend_pid()")).value(0, 0);
}

QString value(Connection& connection, const QString& query) {
    return connection.query(query).value(0, 0);
}

} // namespace

// The next file's turn gets the kept connection only in the state a new one starts in.
TEST(RunConnection, HandsOnTheConnectionResetToTheStateOfANewOne) {
    TestDatabase db;
    db.execute(QStringLiteral("CREATE SCHEMA other"));
    RunConnection run;
    Connection& first = run.begin(db.settings());
    const QString pid = backend(first);
    // What a server-side function could leave behind in the session.
    first.execute(QStringLiteral("SET search_path = other"));
    first.execute(QStringLiteral("SET standard_conforming_strings = off"));
    first.execute(QStringLiteral("CREATE TEMPORARY TABLE t (a text)"));
    first.execute(QStringLiteral("PREPARE p AS SELECT 1"));
    first.execute(QStringLiteral("SELECT pg_advisory_lock(42)"));
    run.end();
    EXPECT_EQ(run.current(), nullptr);

    Connection& second = run.begin(db.settings());
    EXPECT_EQ(run.current(), &second);
    EXPECT_EQ(backend(second), pid) << "the same connection";
    EXPECT_EQ(run.opened(), 1);
    EXPECT_EQ(value(second, QStringLiteral("SHOW search_path")), "\"$user\", public");
    EXPECT_EQ(value(second, QStringLiteral("SHOW standard_conforming_strings")), "on");
    EXPECT_EQ(value(second, QStringLiteral("SELECT count(*) FROM pg_prepared_statements")), "0");
    EXPECT_EQ(value(second, QStringLiteral("SELECT to_regclass('pg_temp.t') IS NULL")), "t");
    EXPECT_EQ(value(second, QStringLiteral("SELECT count(*) FROM pg_locks WHERE "
                                           "locktype = 'advisory'")),
              "0");
    run.close();
    EXPECT_EQ(run.current(), nullptr);
}

TEST(RunConnection, OpensANewOneWhenTheKeptOneCannotServe) {
    TestDatabase db;
    TestDatabase otherDb;
    RunConnection run;
    const auto kept = [&](const ConnectionSettings& settings, auto&& between) {
        const QString before = backend(run.begin(db.settings()));
        between(*run.current());
        run.end();
        Connection& next = run.begin(settings);
        const bool same = backend(next) == before;
        EXPECT_EQ(value(next, QStringLiteral("SELECT 1")), "1") << "the new one works";
        run.end();
        return same;
    };
    const auto nothing = [](Connection&) {};
    EXPECT_TRUE(kept(db.settings(), nothing));
    EXPECT_FALSE(kept(otherDb.settings(), nothing)) << "other settings";
    EXPECT_FALSE(kept(db.settings(), [](Connection& c) { c.execute(QStringLiteral("BEGIN")); }))
        << "a transaction left open";
    EXPECT_FALSE(kept(db.settings(), [&](Connection& c) {
        db.execute(QStringLiteral("SELECT pg_terminate_backend(%1, 10000)").arg(backend(c)));
    })) << "the backend was ended";
    EXPECT_FALSE(kept(db.settings(), [](Connection& c) { c.close(); }));

    // A connection that can't be opened leaves the turn without one, and the next turn tries
    // again.
    ConnectionSettings wrong = db.settings();
    wrong.password = QStringLiteral("wrong password");
    EXPECT_THROW(run.begin(wrong), DatabaseError);
    EXPECT_EQ(run.current(), nullptr);
    run.end();
    const int opened = run.opened();
    EXPECT_NO_THROW(run.begin(db.settings()));
    EXPECT_EQ(run.opened(), opened + 1);
}

// Notices reach the run's receiver during a file's turn only, over a kept connection as over
// one that replaced a broken one.
TEST(RunConnection, HandsOnNoticesDuringATurnOnly) {
    TestDatabase db;
    RunConnection run;
    QStringList heard;
    run.setNoticeReceiver([&](const ServerNotice& notice) { heard.append(notice.text); });
    const auto raise = [](Connection& connection, const QString& text) {
        connection.execute(QStringLiteral("DO $$BEGIN RAISE NOTICE '%1'; END$$").arg(text));
    };
    Connection& first = run.begin(db.settings());
    raise(first, QStringLiteral("in the first turn"));
    run.end();
    raise(first, QStringLiteral("between turns"));
    raise(run.begin(db.settings()), QStringLiteral("in the second turn"));
    raise(run.replace(Connection::open(db.settings())), QStringLiteral("after a replacement"));
    EXPECT_EQ(run.opened(), 2);
    EXPECT_EQ(heard, (QStringList{"NOTICE:  in the first turn", "NOTICE:  in the second turn",
                                  "NOTICE:  after a replacement"}));
}
