#include "database/PostgreSQL.h"

#include "database/Connection.h"
#include "database/TableList.h"

#include <QCoreApplication>

bool CanConnect(const ConnectionSettings& settings) {
    try {
        Connection::open(settings);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void ListDatabaseTables(const ConnectionSettings& settings, TableList& list) {
    Connection connection = Connection::open(settings);
    const Result tables = connection.query(QStringLiteral("select tablename from pg_tables;"));
    const int rows = tables.rowCount();
    for (int row = 0; row < rows; ++row) {
        // The windows stay live while a long list fills.
        QCoreApplication::processEvents();
        list.append(tables.value(row, 0));
    }
    connection.close();
}
