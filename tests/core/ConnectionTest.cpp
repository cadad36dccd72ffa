#include "database/Connection.h"
#include "support/StandardErrorCapture.h"
#include "support/TestEnvironment.h"

#include <QUuid>
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// A role and a database whose names and password hold every character that means something in
// a key=value connection text, dropped again at the end of the test.
struct AwkwardLogin {
    AwkwardLogin() {
        const QString tag = QUuid::createUuid().toString(QUuid::Id128).left(12);
        user = QStringLiteral("u%1 ;Database=postgres;Pwd={x}} 'q\"").arg(tag);
        password = QStringLiteral("{p;w=d} }} 'q\" ;Database=postgres; ");
        database = QStringLiteral("d%1 ;Server=nowhere;Uid=x {y} 'z\"").arg(tag);
        Connection admin = Connection::open(TestServer::get().settings(QStringLiteral("postgres")));
        admin.execute(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'")
                          .arg(quoted(user), QString(password).replace("'", "''")));
        admin.execute(QStringLiteral("CREATE DATABASE %1").arg(quoted(database)));
    }
    ~AwkwardLogin() {
        Connection admin = Connection::open(TestServer::get().settings(QStringLiteral("postgres")));
        admin.execute(
            QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(quoted(database)));
        admin.execute(QStringLiteral("DROP ROLE IF EXISTS %1").arg(quoted(user)));
    }
    static QString quoted(QString name) {
        return QLatin1Char('"') + name.replace("\"", "\"\"") + QLatin1Char('"');
    }
    ConnectionSettings settings() const {
        const TestServer& server = TestServer::get();
        return {server.host, server.port, user, password, database};
    }

    QString user;
    QString password;
    QString database;
};

} // namespace

TEST(Connection, ValuesCannotSmuggleInOtherParameters) {
    const TestServer& server = TestServer::get();
    ConnectionSettings settings = server.settings(QStringLiteral("postgres"));
    settings.database = QStringLiteral("nosuchdb host=elsewhere");
    try {
        Connection::open(settings);
        FAIL() << "connected to a database that does not exist";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("nosuchdb host=elsewhere")))
            << error.description().toStdString();
    }
}

TEST(Connection, ValuesReachTheServerUnchangedWhateverTheyHold) {
    AwkwardLogin login;
    Connection connection = Connection::open(login.settings());
    EXPECT_EQ(connection.query(QStringLiteral("SELECT current_user || '|' || current_database()"))
                  .value(0, 0),
              login.user + QLatin1Char('|') + login.database);

    // The password is checked as a whole: one character less does not log in.
    ConnectionSettings wrong = login.settings();
    wrong.password.chop(1);
    EXPECT_THROW(Connection::open(wrong), DatabaseError);
}

TEST(Connection, AUserValueCannotRedirectToAnotherDatabase) {
    const TestServer& server = TestServer::get();
    TestDatabase db;
    ConnectionSettings settings{server.host, server.port,
                                server.role + QStringLiteral(";Database=postgres"),
                                server.rolePassword, db.name()};
    try {
        Connection::open(settings);
        FAIL() << "logged in as a user that does not exist";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.description().contains(settings.user))
            << error.description().toStdString();
    }
}

TEST(Connection, TcpKeepalivesAreOn) {
    TestDatabase db;
    Connection connection = Connection::open(db.settings());
    const int socket = PQsocket(connection.handle());
    ASSERT_GE(socket, 0);
    int value = 0;
    socklen_t size = sizeof value;
    ASSERT_EQ(getsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &value, &size), 0);
    EXPECT_EQ(value, 1);
#ifdef TCP_KEEPIDLE
    ASSERT_EQ(getsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &value, &size), 0);
    EXPECT_EQ(value, 10);
    ASSERT_EQ(getsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &value, &size), 0);
    EXPECT_EQ(value, 5);
    ASSERT_EQ(getsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &value, &size), 0);
    EXPECT_EQ(value, 3);
#endif
}

TEST(Connection, RejectionCarriesTheServersTextAndValuesArriveUnchanged) {
    TestDatabase db;
    Connection connection = Connection::open(db.settings());
    try {
        connection.execute(QStringLiteral("INSERT INTO \"missing\" VALUES('a');"));
        FAIL() << "the server accepted an insert into a missing table";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(
            error.description().contains(QStringLiteral("relation \"missing\" does not exist")))
            << error.description().toStdString();
    }
    connection.execute(QStringLiteral("CREATE TABLE t(v TEXT)"));
    // A backslash stays plain text whatever the server's default, and the apostrophe doubled
    // in the statement arrives single; non-ASCII text travels as UTF-8.
    connection.execute(QStringLiteral("INSERT INTO \"t\" VALUES('C:\\dir\\');"));
    connection.execute(QStringLiteral("INSERT INTO \"t\" VALUES('O''Neil \\'' Größe €');"));
    EXPECT_EQ(db.column(QStringLiteral("SELECT v FROM t ORDER BY v")),
              (QStringList{QStringLiteral("C:\\dir\\"), QStringLiteral("O'Neil \\' Größe €")}));
}

TEST(Connection, StandardConformingStringsIsForcedOn) {
    TestDatabase db;
    db.execute(QStringLiteral("ALTER DATABASE \"%1\" SET standard_conforming_strings = off")
                   .arg(db.name()));
    Connection connection = Connection::open(db.settings());
    EXPECT_EQ(connection.query(QStringLiteral("SHOW standard_conforming_strings")).value(0, 0),
              QStringLiteral("on"));
    // The session's reset goes back to the database's default, and sets it on again.
    connection.resetSession();
    EXPECT_EQ(connection.query(QStringLiteral("SHOW standard_conforming_strings")).value(0, 0),
              QStringLiteral("on"))
        << "after resetSession()";
    connection.execute(QStringLiteral("CREATE TABLE t(a TEXT, b TEXT)"));
    // With the setting off, 'x\' would swallow its closing quote and the rest of the line
    // would run as SQL (here: drop the table). With it on, both texts arrive as values.
    connection.execute(QStringLiteral("INSERT INTO \"t\" VALUES('x\\',' ); DROP TABLE t; --');"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT a, b FROM t")),
              QStringList{QStringLiteral("x\\| ); DROP TABLE t; --")});
}

// libpq would print every notice on standard error; a connection hands them to its receiver,
// which goes with the connection when it is moved, and drops them while it has none.
TEST(Connection, NoticesGoToTheReceiverAndNeverToStandardError) {
    TestDatabase db;
    const QString raise = QStringLiteral(
        "DO $$BEGIN RAISE NOTICE 'one'; RAISE WARNING 'two' USING DETAIL = 'more'; END$$");
    QStringList heard;
    StandardErrorCapture err;
    {
        Connection quiet = Connection::open(db.settings());
        quiet.execute(raise);

        Connection first = Connection::open(db.settings());
        first.setNoticeReceiver(
            [&](const ServerNotice& notice) { heard.append(notice.sqlState + " " + notice.text); });
        Connection moved = std::move(first);
        Connection target = Connection::open(db.settings());
        target = std::move(moved);
        target.execute(raise);
        EXPECT_EQ(heard, (QStringList{"00000 NOTICE:  one", "01000 WARNING:  two\nDETAIL:  more"}));

        // A backend ended while its connection is idle: its last words come as a notice when
        // libpq next reads from the server.
        heard.clear();
        const QString pid = target.query(QStringLiteral("SELECT pg_backend_pid()")).value(0, 0);
        db.execute(QStringLiteral("SELECT pg_terminate_backend(%1, 10000)").arg(pid));
        PQconsumeInput(target.handle());
        PQisBusy(target.handle());
        ASSERT_EQ(heard.size(), 1);
        EXPECT_TRUE(heard[0].startsWith("57P01 FATAL:  terminating connection"))
            << heard[0].toStdString();

        target.setNoticeReceiver({});
        heard.clear();
        quiet.execute(raise);
        EXPECT_TRUE(heard.isEmpty());
    }
    EXPECT_EQ(err.text(), QByteArray());
}
