#include "import/CopyTarget.h"

#include "database/Connection.h"
#include "import/Statements.h"

#include <libpq-fe.h>

namespace {

// The table's columns in table order: name, identity kind, generated kind, and whether
// something fills it when no value is given (a default of its own or of its domain); no row at
// all when the table as a whole rules COPY out. One statement, so one round trip and one
// snapshot. $1 is the table name quoted as the row statement quotes it, so that it is looked up
// along the search path in the same way.
const char* const TargetQuery = R"SQL(
WITH target AS (SELECT to_regclass($1) AS oid),
tree AS (
    SELECT relid AS oid FROM pg_partition_tree((SELECT oid FROM target))
    UNION SELECT oid FROM target
),
allowed AS (
    SELECT c.relkind IN ('r', 'p')
       AND has_table_privilege(c.oid, 'INSERT')
       AND NOT EXISTS (SELECT 1 FROM pg_class m JOIN tree USING (oid)
                       WHERE m.relhasrules OR m.relrowsecurity OR m.relkind = 'f')
       AND NOT EXISTS (SELECT 1 FROM pg_trigger g JOIN tree ON g.tgrelid = tree.oid
                       WHERE NOT g.tgisinternal)
       AND NOT EXISTS (SELECT 1 FROM pg_constraint k JOIN tree ON k.conrelid = tree.oid
                       WHERE k.condeferred
                          OR (k.contype = 'f' AND k.confrelid IN (SELECT oid FROM tree)))
       AS ok
    FROM pg_class c
    WHERE c.oid = (SELECT oid FROM target)
)
SELECT a.attname, a.attidentity, a.attgenerated,
       (a.atthasdef AND a.attgenerated = '') OR t.typtype = 'd'
FROM pg_attribute a
JOIN pg_type t ON t.oid = a.atttypid
WHERE a.attrelid = (SELECT oid FROM target) AND a.attnum > 0 AND NOT a.attisdropped
  AND coalesce((SELECT ok FROM allowed), false)
ORDER BY a.attnum
)SQL";

Result queryWithName(PGconn* conn, const char* sql, const QByteArray& name) {
    const char* values[] = {name.constData()};
    return Result(PQexecParams(conn, sql, 1, nullptr, values, nullptr, nullptr, 0));
}

bool isTrue(const Result& result, int row, int column) {
    return !result.isNull(row, column) && result.value(row, column) == QLatin1String("t");
}

} // namespace

std::optional<QString> copyColumnList(Connection& connection, const QString& table,
                                      qsizetype valueCount) {
    PGconn* conn = connection.handle();
    if (!conn || PQstatus(conn) != CONNECTION_OK || PQtransactionStatus(conn) != PQTRANS_IDLE ||
        valueCount < 1)
        return std::nullopt;
    const QByteArray name = quoteIdentifier(table).toUtf8();

    const Result columns = queryWithName(conn, TargetQuery, name);
    if (PQresultStatus(columns.get()) != PGRES_TUPLES_OK || columns.rowCount() < valueCount)
        return std::nullopt;
    QString list = QStringLiteral("(");
    for (int i = 0; i < columns.rowCount(); ++i) {
        const bool identity = !columns.value(i, 1).isEmpty();
        const bool generated = !columns.value(i, 2).isEmpty();
        if (i < valueCount) {
            if (generated || columns.value(i, 1) == QLatin1String("a"))
                return std::nullopt;
            if (i > 0)
                list += QLatin1String(", ");
            list += quoteIdentifier(columns.value(i, 0));
        } else if (identity || isTrue(columns, i, 3)) {
            return std::nullopt;
        }
    }
    list += QLatin1Char(')');
    return list;
}
