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

namespace {

// The tables the user may insert into, each by the name the list shows (see the header).
const char* const UserTables = R"SQL(
SELECT shown FROM (
    SELECT CASE WHEN to_regclass(quote_ident(c.relname)) = c.oid
                THEN CASE WHEN c.relname LIKE '%.%' OR c.relname LIKE '"%'
                          THEN quote_ident(c.relname) ELSE c.relname END
                ELSE quote_ident(n.nspname) || '.' || quote_ident(c.relname) END AS shown
    FROM pg_class c
    JOIN pg_namespace n ON n.oid = c.relnamespace
    WHERE c.relkind IN ('r', 'p') AND NOT c.relispartition
      AND n.nspname NOT IN ('pg_catalog', 'information_schema', 'pg_toast')
      AND n.nspname NOT LIKE 'pg\_temp\_%' AND n.nspname NOT LIKE 'pg\_toast\_temp\_%'
      AND has_table_privilege(c.oid, 'INSERT')
) tables
ORDER BY lower(shown) COLLATE "C", shown COLLATE "C"
)SQL";

} // namespace

void ListDatabaseTables(const ConnectionSettings& settings, TableList& list) {
    Connection connection = Connection::open(settings);
    const Result tables = connection.query(QString::fromLatin1(UserTables));
    const int rows = tables.rowCount();
    for (int row = 0; row < rows; ++row) {
        // The windows stay live while a long list fills.
        QCoreApplication::processEvents();
        list.append(tables.value(row, 0));
    }
    connection.close();
}
