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

// The name the list shows for table c of schema n (see the header).
const char* const ShownName = R"SQL(
    CASE WHEN to_regclass(quote_ident(c.relname)) = c.oid
         THEN CASE WHEN c.relname LIKE '%.%' OR c.relname LIKE '"%'
                   THEN quote_ident(c.relname) ELSE c.relname END
         ELSE quote_ident(n.nspname) || '.' || quote_ident(c.relname) END)SQL";

// The tables the user may insert into, each by the name the list shows (see the header).
QString userTables() {
    return QStringLiteral(R"SQL(
SELECT shown FROM (
    SELECT %1 AS shown
    FROM pg_class c
    JOIN pg_namespace n ON n.oid = c.relnamespace
    WHERE c.relkind IN ('r', 'p') AND NOT c.relispartition
      AND n.nspname NOT IN ('pg_catalog', 'information_schema', 'pg_toast')
      AND n.nspname NOT LIKE 'pg\_temp\_%' AND n.nspname NOT LIKE 'pg\_toast\_temp\_%'
      AND has_table_privilege(c.oid, 'INSERT')
) tables
ORDER BY lower(shown) COLLATE "C", shown COLLATE "C"
)SQL")
        .arg(QLatin1String(ShownName));
}

// The name the list would show for the table that $1 names as SQL names it; no row when it
// names none. $1 is read by to_regclass() alone, as a value, never as SQL text.
QString shownNameOfTyped() {
    return QStringLiteral("SELECT %1 FROM pg_class c JOIN pg_namespace n ON n.oid = "
                          "c.relnamespace WHERE c.oid = to_regclass($1)")
        .arg(QLatin1String(ShownName));
}

// Whether a failed lookup failed because the text is no name to_regclass() can read (invalid
// name syntax, too many dotted parts, another database's name): then it names no table.
bool isNoName(const QByteArray& sqlState) {
    return sqlState == "42602" || sqlState == "42601" || sqlState == "0A000";
}

} // namespace

void ListDatabaseTables(const ConnectionSettings& settings, TableList& list) {
    Connection connection = Connection::open(settings);
    ListDatabaseTables(connection, list);
}

void ListDatabaseTables(Connection& connection, TableList& list) {
    const Result tables = connection.query(userTables());
    const int rows = tables.rowCount();
    for (int row = 0; row < rows; ++row) {
        // The windows stay live while a long list fills.
        QCoreApplication::processEvents();
        list.append(tables.value(row, 0));
    }
}

int FindListedTable(const ConnectionSettings& settings, const QString& name,
                    const QStringList& listed) {
    if (listed.contains(name))
        return static_cast<int>(listed.indexOf(name));
    Connection connection = Connection::open(settings);
    return FindListedTable(connection, name, listed);
}

int FindListedTable(Connection& connection, const QString& name, const QStringList& listed) {
    const qsizetype exact = listed.indexOf(name);
    if (exact >= 0)
        return static_cast<int>(exact);
    const Result shown = connection.runWithValues(shownNameOfTyped().toUtf8(), {name.toUtf8()});
    if (!shown.succeeded()) {
        if (isNoName(shown.sqlState()))
            return -1;
        throw DatabaseError(connection.errorOf(shown));
    }
    return shown.rowCount() == 1 ? static_cast<int>(listed.indexOf(shown.value(0, 0))) : -1;
}
