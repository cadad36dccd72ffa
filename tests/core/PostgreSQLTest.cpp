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

TEST(PostgreSQL, ListDatabaseTablesListsCatalogueTablesAndAppendsWithoutClearing) {
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

TEST(PostgreSQL, ListDatabaseTablesHandlesPendingEventsBeforeEveryRow) {
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

TEST(PostgreSQL, ListDatabaseTablesRefusedLoginFailsBeforeTheListChanges) {
    const TestServer& server = TestServer::get();
    StringTableList list;
    list.append(QStringLiteral("kept"));
    ConnectionSettings role{server.host, server.port, server.role, QStringLiteral("wrong"),
                            QStringLiteral("postgres")};
    EXPECT_THROW(ListDatabaseTables(role, list), DatabaseError);
    EXPECT_EQ(list.names, QStringList{QStringLiteral("kept")});
}
