#include "sending/copy/CopyTarget.h"

#include "database/Connection.h"
#include "sending/Statements.h"

namespace {

// One row for the table as a whole, then nothing: 't' where the table allows COPY, and the
// table's own name as the server's messages write it. $1 is the table named as the row
// statement names it, so that it is looked up along the search path in the same way.
const char* const TableQuery = R"SQL(
WITH target AS (SELECT to_regclass($1) AS oid),
tree AS (
    SELECT relid AS oid FROM pg_partition_tree((SELECT oid FROM target))
    UNION SELECT oid FROM target
)
SELECT c.relkind IN ('r', 'p')
   AND has_table_privilege(c.oid, 'INSERT')
   AND NOT EXISTS (SELECT 1 FROM pg_class m JOIN tree USING (oid)
                   WHERE m.relhasrules OR m.relrowsecurity OR m.relkind = 'f')
   AND NOT EXISTS (SELECT 1 FROM pg_trigger g JOIN tree ON g.tgrelid = tree.oid
                   WHERE NOT g.tgisinternal)
   AND NOT EXISTS (SELECT 1 FROM pg_constraint k JOIN tree ON k.conrelid = tree.oid
                   WHERE k.condeferred
                      OR (k.contype = 'f' AND k.confrelid IN (SELECT oid FROM tree))),
       c.relname
FROM pg_class c
WHERE c.oid = (SELECT oid FROM target)
)SQL";

// The table's columns in table order: name, identity kind, generated kind, whether
// something fills it when no value is given (a default of its own or of its domain), and its
// type number, type modifier and NOT NULL.
const char* const ColumnQuery = R"SQL(
SELECT a.attname, a.attidentity, a.attgenerated,
       (a.atthasdef AND a.attgenerated = '') OR t.typtype = 'd',
       a.atttypid, a.atttypmod, a.attnotnull
FROM pg_attribute a
JOIN pg_type t ON t.oid = a.atttypid
WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 AND NOT a.attisdropped
ORDER BY a.attnum
)SQL";

Result queryWithName(Connection& connection, const char* sql, const QByteArray& name) {
    return connection.runWithValues(sql, {name});
}

bool isTrue(const Result& result, int row, int column) {
    return !result.isNull(row, column) && result.value(row, column) == QLatin1String("t");
}

} // namespace

std::optional<QString> copyColumnList(Connection& connection, const QString& table,
                                      qsizetype valueCount,
                                      std::vector<ValuePrecheck::Column>* columnTypes,
                                      QString* relationName) {
    if (connection.isBroken() || connection.inTransaction() || valueCount < 1)
        return std::nullopt;
    const QByteArray name = tableReference(table).toUtf8();

    const Result target = queryWithName(connection, TableQuery, name);
    if (!target.succeeded() || target.rowCount() != 1 || !isTrue(target, 0, 0))
        return std::nullopt;
    if (relationName)
        *relationName = target.value(0, 1);

    const Result columns = queryWithName(connection, ColumnQuery, name);
    if (!columns.succeeded() || columns.rowCount() < valueCount)
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
            if (columnTypes)
                columnTypes->push_back({columns.value(i, 4).toUInt(), columns.value(i, 5).toInt(),
                                        isTrue(columns, i, 6)});
        } else if (identity || isTrue(columns, i, 3)) {
            return std::nullopt;
        }
    }
    list += QLatin1Char(')');
    return list;
}

std::optional<CopyTarget> CopyTarget::find(Connection& connection, const QString& table,
                                           qsizetype valueCount) {
    CopyTarget target;
    const std::optional<QString> columns =
        copyColumnList(connection, table, valueCount, &target.columnTypes, &target.relationName);
    if (!columns)
        return std::nullopt;
    target.table = table;
    target.columnList = *columns;
    target.valueCount = valueCount;
    return target;
}

QByteArray CopyTarget::copyStatement() const {
    return (QStringLiteral("COPY ") + tableReference(table) + QLatin1Char(' ') + columnList +
            QStringLiteral(" FROM STDIN"))
        .toUtf8();
}
