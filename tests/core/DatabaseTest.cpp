#include "database/Connection.h"
#include "database/ConnectionSettings.h"
#include "database/PostgreSQL.h"
#include "database/TableList.h"
#include "support/TestEnvironment.h"

#include <QTimer>
#include <gtest/gtest.h>

TEST(ConnectionString, IsBuiltVerbatimFromTheFiveValues) {
    TemporarySettings store;
    EXPECT_EQ(ConnectionString(ConnectionSettings::fromStore()),
              QStringLiteral("Driver={PostgreSQL Unicode};Server=localhost;Port=5432;Uid=;Pwd=;"
                             "Database="));
    EXPECT_EQ(ConnectionString({"localhost", "5432", "postgres", "", "sales"}),
              QStringLiteral("Driver={PostgreSQL Unicode};Server=localhost;Port=5432;"
                             "Uid=postgres;Pwd=;Database=sales"));
    EXPECT_EQ(ConnectionString({"", " 5432 ", " ann", "pw ", "db"}),
              QStringLiteral("Driver={PostgreSQL Unicode};Server=;Port= 5432 ;Uid= ann;Pwd=pw ;"
                             "Database=db"));
}

TEST(ConnectionString, IsReadWithOdbcRules) {
    const auto pairs = parseConnectionString(
        QStringLiteral("DRIVER={PostgreSQL Unicode};server=db1;Pwd={a;b}}c};Uid=ann;Database="));
    EXPECT_EQ(pairs.at("driver"), QStringLiteral("PostgreSQL Unicode"));
    EXPECT_EQ(pairs.at("server"), QStringLiteral("db1"));
    EXPECT_EQ(pairs.at("pwd"), QStringLiteral("a;b}c"));
    EXPECT_EQ(pairs.at("uid"), QStringLiteral("ann"));
    EXPECT_EQ(pairs.at("database"), QString());
    EXPECT_THROW(parseConnectionString(QStringLiteral("Driver={PostgreSQL Unicode;Server=x")),
                 DatabaseError);
}

TEST(Connection, RefusesAnotherDriverWithAClearMessage) {
    try {
        Connection::open(QStringLiteral("Driver={SQL Server};Server=localhost"));
        FAIL() << "opened a connection for another driver";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("SQL Server")));
        EXPECT_TRUE(error.description().contains(QStringLiteral("PostgreSQL Unicode")));
    }
}

TEST(Connection, ValuesCannotSmuggleInOtherParameters) {
    const TestServer& server = TestServer::get();
    ConnectionSettings settings = server.settings(QStringLiteral("postgres"));
    settings.database = QStringLiteral("nosuchdb host=elsewhere");
    try {
        Connection::open(ConnectionString(settings));
        FAIL() << "connected to a database that does not exist";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("nosuchdb host=elsewhere")))
            << error.description().toStdString();
    }
}

TEST(CanConnect, AnswersWithoutMessages) {
    const TestServer& server = TestServer::get();
    EXPECT_TRUE(CanConnect(server.settings(QStringLiteral("postgres"))));
    ConnectionSettings role{server.host, server.port, server.role, server.rolePassword,
                            QStringLiteral("postgres")};
    EXPECT_TRUE(CanConnect(role));
    role.password = QStringLiteral("wrong");
    EXPECT_FALSE(CanConnect(role));
    role.port = QStringLiteral("letters");
    EXPECT_FALSE(CanConnect(role));
}

TEST(ListDatabaseTables, ListsCatalogueTablesAndAppendsWithoutClearing) {
    TestDatabase db;
    StringTableList list;
    ListDatabaseTables(db.settings(), list);
    EXPECT_TRUE(list.names.contains(QStringLiteral("pg_class")))
        << "a database without tables of its own still lists the catalogue";
    EXPECT_FALSE(list.names.contains(QStringLiteral("Sales")));

    db.execute(QStringLiteral("CREATE TABLE \"Sales\"(a TEXT)"));
    const qsizetype before = list.names.size();
    ListDatabaseTables(db.settings(), list);
    EXPECT_EQ(list.names.size(), 2 * before + 1);
    EXPECT_EQ(list.names.count(QStringLiteral("pg_class")), 2);
    EXPECT_EQ(list.names.count(QStringLiteral("Sales")), 1);
}

TEST(ListDatabaseTables, HandlesPendingEventsBeforeEveryRow) {
    TestDatabase db;
    StringTableList list;
    // A zero timer fires once each time events are handled; it notes how far the list was.
    QList<qsizetype> sizesSeen;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] { sizesSeen.append(list.names.size()); });
    timer.start();
    ListDatabaseTables(db.settings(), list);
    timer.stop();
    ASSERT_FALSE(list.names.isEmpty());
    QList<qsizetype> everyRow;
    for (qsizetype row = 0; row < list.names.size(); ++row)
        everyRow.append(row);
    EXPECT_EQ(sizesSeen, everyRow);
}

TEST(ListDatabaseTables, RefusedLoginFailsBeforeTheListChanges) {
    const TestServer& server = TestServer::get();
    StringTableList list;
    list.append(QStringLiteral("kept"));
    ConnectionSettings role{server.host, server.port, server.role, QStringLiteral("wrong"),
                            QStringLiteral("postgres")};
    EXPECT_THROW(ListDatabaseTables(role, list), DatabaseError);
    EXPECT_EQ(list.names, QStringList{QStringLiteral("kept")});
}

TEST(Connection, RejectionCarriesTheServersTextAndValuesArriveUnchanged) {
    TestDatabase db;
    Connection connection = Connection::open(ConnectionString(db.settings()));
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
    Connection connection = Connection::open(ConnectionString(db.settings()));
    EXPECT_EQ(connection.query(QStringLiteral("SHOW standard_conforming_strings")).value(0, 0),
              QStringLiteral("on"));
    connection.execute(QStringLiteral("CREATE TABLE t(a TEXT, b TEXT)"));
    // With the setting off, 'x\' would swallow its closing quote and the rest of the line
    // would run as SQL (here: drop the table). With it on, both texts arrive as values.
    connection.execute(QStringLiteral("INSERT INTO \"t\" VALUES('x\\',' ); DROP TABLE t; --');"));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT a, b FROM t")),
              QStringList{QStringLiteral("x\\| ); DROP TABLE t; --")});
}
