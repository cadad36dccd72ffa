#include "database/PostgreSQL.h"
#include "database/Connection.h"
#include "database/TableList.h"
#include "support/TestEnvironment.h"

#include <QTimer>
#include <gtest/gtest.h>

TEST(PostgreSQL, CanConnectAnswersWithoutMessages) {
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

// The user's own tables, each once, by a name that reaches exactly it: a bare name where the
// search path finds that table, the schema first where it would find another or none; no
// catalogue, no partition, nothing the user may not insert into. Appends without clearing.
TEST(PostgreSQL, ListDatabaseTablesListsTheUsersTablesByNamesThatReachThem) {
    TestDatabase db;
    StringTableList list;
    list.append(QStringLiteral("kept"));
    ListDatabaseTables(db.settings(), list);
    EXPECT_EQ(list.names, QStringList{"kept"}) << "no catalogue table";

    for (const char* statement : {
             "CREATE TABLE orders(a text)",
             "CREATE SCHEMA sales",
             "CREATE TABLE sales.orders(a text)",
             "CREATE TABLE sales.only_here(a text)",
             "CREATE SCHEMA \"Odd Schema\"",
             "CREATE TABLE \"Odd Schema\".\"Mixed Case\"(a text)",
             "CREATE TABLE \"Mixed Case\"(a text)",
             "CREATE TABLE \"it's \"\"odd\"\"\"(a text)",
             "CREATE TABLE \"a.b\"(a text)",
             "CREATE TABLE parted(k int, a text) PARTITION BY RANGE (k)",
             "CREATE TABLE parted_1 PARTITION OF parted FOR VALUES FROM (0) TO (10)",
             "CREATE VIEW seen AS SELECT 1 AS x",
         })
        db.execute(QString::fromUtf8(statement));
    list.names.clear();
    ListDatabaseTables(db.settings(), list);
    EXPECT_EQ(list.names,
              QStringList({"\"a.b\"", "\"Odd Schema\".\"Mixed Case\"", "it's \"odd\"", "Mixed Case",
                           "orders", "parted", "sales.only_here", "sales.orders"}));

    // The server's ordinary role may insert into one table only.
    const TestServer& server = TestServer::get();
    db.execute(QStringLiteral("GRANT USAGE ON SCHEMA sales TO %1").arg(server.role));
    db.execute(QStringLiteral("GRANT SELECT ON orders TO %1").arg(server.role));
    db.execute(QStringLiteral("GRANT SELECT, INSERT ON sales.orders TO %1").arg(server.role));
    ConnectionSettings role = db.settings();
    role.user = server.role;
    role.password = server.rolePassword;
    list.names.clear();
    ListDatabaseTables(role, list);
    EXPECT_EQ(list.names, QStringList{"sales.orders"});
}

TEST(PostgreSQL, ListDatabaseTablesHandlesPendingEventsBeforeEveryRow) {
    TestDatabase db;
    for (int n = 1; n <= 5; ++n)
        db.execute(QStringLiteral("CREATE TABLE t%1(a text)").arg(n));
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

TEST(PostgreSQL, ListDatabaseTablesRefusedLoginFailsBeforeTheListChanges) {
    const TestServer& server = TestServer::get();
    StringTableList list;
    list.append(QStringLiteral("kept"));
    ConnectionSettings role{server.host, server.port, server.role, QStringLiteral("wrong"),
                            QStringLiteral("postgres")};
    EXPECT_THROW(ListDatabaseTables(role, list), DatabaseError);
    EXPECT_EQ(list.names, QStringList{QStringLiteral("kept")});
}
