#include "sending/TableColumns.h"

#include "database/Connection.h"
#include "database/DatabaseError.h"
#include "sending/Statements.h"

namespace {

// The table's text as an SQL string constant.
QString literal(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// One row per column, or one row of NULLs for a table without columns; the first value tells
// whether the table was found at all.
Result catalogueColumns(Connection& connection, const QString& reference) {
    return connection.queryOne(
        QStringLiteral("SELECT t.oid IS NOT NULL, a.attname FROM (SELECT to_regclass(%1) AS oid) t "
                       "LEFT JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum > 0 AND NOT "
                       "a.attisdropped ORDER BY a.attnum")
            .arg(literal(reference)));
}

} // namespace

QStringList readTableColumns(Connection& connection, const QString& table) {
    const QString reference = tableReference(table);
    Result columns = catalogueColumns(connection, reference);
    if (columns.rowCount() > 0 && columns.value(0, 0) != QLatin1String("t")) {
        // LIMIT 0: the server's own words for a table it can't reach, without its rows.
        const Result rows = connection.query(QStringLiteral("SELECT * FROM ") + reference +
                                             QStringLiteral(" LIMIT 0"));
        Q_UNUSED(rows);
        columns = catalogueColumns(connection, reference);
    }
    QStringList names;
    for (int row = 0; row < columns.rowCount(); ++row)
        if (!columns.isNull(row, 1))
            names.append(columns.value(row, 1));
    return names;
}
