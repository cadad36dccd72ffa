#include "sending/copy/CopyTarget.h"

#include "database/Connection.h"
#include "sending/Statements.h"
#include "sending/TableTreeSql.h"
#include "sending/copy/TriggerBodyNames.h"

#include <algorithm>

namespace {

// One row for the table as a whole, then nothing: 't' where the table allows COPY, the
// table's own name as the server's messages write it, and 't' where no table of the tree has a
// unique index or an exclusion constraint, so that which lines are accepted does not hang on
// the order in which they go. Of the tree's own triggers (tgtype: bit 1 row-level, 2 BEFORE,
// 4 INSERT), those that never fire on INSERT are left alone; those that do rule COPY out here
// when they fire once per statement, see transition tables or have a WHEN condition, and are
// looked at by RowTriggerQuery otherwise.
const char* const TableQuery = TABLE_TREE_SQL R"SQL(
SELECT c.relkind IN ('r', 'p')
   AND has_table_privilege(c.oid, 'INSERT')
   AND NOT EXISTS (SELECT 1 FROM pg_class m JOIN tree USING (oid)
                   WHERE m.relhasrules OR m.relrowsecurity OR m.relkind = 'f')
   AND NOT EXISTS (SELECT 1 FROM pg_trigger g JOIN tree ON g.tgrelid = tree.oid
                   WHERE NOT g.tgisinternal AND (g.tgtype & 4) <> 0
                     AND ((g.tgtype & 1) = 0 OR g.tgnewtable IS NOT NULL
                          OR g.tgoldtable IS NOT NULL OR g.tgqual IS NOT NULL))
   AND NOT EXISTS (SELECT 1 FROM pg_constraint k JOIN tree ON k.conrelid = tree.oid
                   WHERE k.condeferred
                      OR (k.contype = 'f' AND k.confrelid IN (SELECT oid FROM tree))),
       c.relname,
       NOT EXISTS (SELECT 1 FROM pg_index i JOIN tree ON i.indrelid = tree.oid
                   WHERE i.indisunique)
   AND NOT EXISTS (SELECT 1 FROM pg_constraint k JOIN tree ON k.conrelid = tree.oid
                   WHERE k.contype = 'x')
FROM pg_class c
WHERE c.oid = (SELECT oid FROM target)
)SQL";

// The tree's row-level INSERT triggers: whether each fires before the row is written, whether
// its function is PL/pgSQL, and the function's body.
const char* const RowTriggerQuery = TABLE_TREE_SQL R"SQL(
SELECT (g.tgtype & 2) <> 0, l.lanname = 'plpgsql', p.prosrc
FROM pg_trigger g
JOIN tree ON g.tgrelid = tree.oid
JOIN pg_proc p ON p.oid = g.tgfoid
JOIN pg_language l ON l.oid = p.prolang
WHERE NOT g.tgisinternal AND (g.tgtype & 5) = 5
)SQL";

// 't' where a function ($1) or an operator ($2) of one of the names lies outside pg_catalog,
// in any schema: the server could choose it over the built-in one of that name.
const char* const OtherNamesQuery = R"SQL(
SELECT EXISTS (SELECT 1 FROM pg_proc
               WHERE proname = ANY ($1::text[]) AND pronamespace <> 'pg_catalog'::regnamespace)
    OR EXISTS (SELECT 1 FROM pg_operator
               WHERE oprname = ANY ($2::text[]) AND oprnamespace <> 'pg_catalog'::regnamespace)
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

bool isTrue(const Result& result, int row, int column) {
    return !result.isNull(row, column) && result.value(row, column) == QLatin1String("t");
}

// The names as an array literal: each in double quotes (they hold neither quotes nor
// backslashes).
QByteArray arrayLiteral(const QStringList& names) {
    return (QStringLiteral("{\"") + names.join(QStringLiteral("\",\"")) + QStringLiteral("\"}"))
        .toUtf8();
}

// Whether each of the tree's row-level INSERT triggers that TableQuery let through is known to
// give a row the same outcome by COPY as by its own INSERT (TriggerBodyNames), with the
// built-in functions and operators of the names it uses. Sets before where one of them fires
// before the row is written.
bool rowTriggersAgree(Connection& connection, const Result& triggers, bool& before) {
    if (!triggers.succeeded())
        return false;
    if (triggers.rowCount() == 0)
        return true;
    QStringList words, operators;
    for (int i = 0; i < triggers.rowCount(); ++i) {
        const std::optional<TriggerBodyNames> names =
            isTrue(triggers, i, 1) ? TriggerBodyNames::scan(triggers.value(i, 2)) : std::nullopt;
        if (!names)
            return false;
        words += names->words;
        operators += names->operators;
        before = before || isTrue(triggers, i, 0);
    }
    const Result others =
        connection.runWithValues(OtherNamesQuery, {arrayLiteral(words), arrayLiteral(operators)});
    return others.succeeded() && others.rowCount() == 1 && !others.isNull(0, 0) &&
           !isTrue(others, 0, 0);
}

// The columns lines of valueCount values go into, unquoted: the table's first ones in table
// order, or those the targets give (targetColumnList()). Nothing when the table has fewer
// columns than the values, or the targets fewer field columns.
std::optional<QStringList> listedColumns(const Result& columns, qsizetype valueCount,
                                         const ColumnTargets& targets) {
    QStringList listed;
    if (targets.byPosition()) {
        if (columns.rowCount() < valueCount)
            return std::nullopt;
        for (int i = 0; i < valueCount; ++i)
            listed.append(columns.value(i, 0));
        return listed;
    }
    if (targets.fieldColumns.size() < valueCount)
        return std::nullopt; // the row statement is rejected for its values beyond the columns
    listed = targets.fieldColumns.mid(0, valueCount);
    if (!targets.constantColumn.isEmpty())
        listed.append(targets.constantColumn);
    return listed;
}

// The row of each listed column in the column query, in the order listed; nothing where COPY
// is not allowed for them: a listed column the table lacks, listed twice, GENERATED ALWAYS or
// computed, or a column not listed that something fills (an identity, a default).
std::optional<std::vector<int>> listedRows(const Result& columns, const QStringList& listed) {
    if (QStringList(listed).removeDuplicates() > 0)
        return std::nullopt;
    std::vector<int> rows(listed.size(), -1);
    for (int i = 0; i < columns.rowCount(); ++i) {
        const qsizetype at = listed.indexOf(columns.value(i, 0));
        const bool identity = !columns.value(i, 1).isEmpty();
        const bool generated = !columns.value(i, 2).isEmpty();
        if (at >= 0) {
            if (generated || columns.value(i, 1) == QLatin1String("a"))
                return std::nullopt;
            rows[at] = i;
        } else if (identity || isTrue(columns, i, 3)) {
            return std::nullopt;
        }
    }
    if (std::find(rows.begin(), rows.end(), -1) != rows.end())
        return std::nullopt;
    return rows;
}

} // namespace

std::optional<QString> copyColumnList(Connection& connection, const QString& table,
                                      qsizetype valueCount,
                                      std::vector<ValuePrecheck::Column>* columnTypes,
                                      QString* relationName, const ColumnTargets& targets,
                                      bool* orderFree) {
    if (connection.isBroken() || connection.inTransaction() || valueCount < 1)
        return std::nullopt;
    const QByteArray name = tableReference(table).toUtf8();

    // The three catalogue queries in one round trip.
    const std::vector<Result> answers = connection.runEachWithValues(
        {{TableQuery, {name}}, {RowTriggerQuery, {name}}, {ColumnQuery, {name}}});
    const Result& target = answers[0];
    if (!target.succeeded() || target.rowCount() != 1 || !isTrue(target, 0, 0))
        return std::nullopt;
    if (relationName)
        *relationName = target.value(0, 1);
    if (orderFree)
        *orderFree = isTrue(target, 0, 2);
    bool beforeTrigger = false; // it may fill a NOT NULL column the line leaves NULL
    if (!rowTriggersAgree(connection, answers[1], beforeTrigger))
        return std::nullopt;

    const Result& columns = answers[2];
    if (!columns.succeeded())
        return std::nullopt;
    const std::optional<QStringList> listed = listedColumns(columns, valueCount, targets);
    const std::optional<std::vector<int>> rows =
        listed ? listedRows(columns, *listed) : std::nullopt;
    if (!rows)
        return std::nullopt;
    QString list = QStringLiteral("(");
    for (std::size_t at = 0; at < rows->size(); ++at) {
        const int i = (*rows)[at];
        if (at > 0)
            list += QLatin1String(", ");
        list += quoteIdentifier(columns.value(i, 0));
        if (columnTypes)
            columnTypes->push_back({columns.value(i, 4).toUInt(), columns.value(i, 5).toInt(),
                                    isTrue(columns, i, 6) && !beforeTrigger});
    }
    list += QLatin1Char(')');
    return list;
}

std::optional<CopyTarget> CopyTarget::find(Connection& connection, const QString& table,
                                           qsizetype valueCount, const ColumnTargets& targets) {
    CopyTarget target;
    const std::optional<QString> columns =
        copyColumnList(connection, table, valueCount, &target.columnTypes, &target.relationName,
                       targets, &target.orderFree);
    if (!columns)
        return std::nullopt;
    // The run made the table for these values: each converts to its column's type, so that
    // looking at them again would find nothing (the server still has the last word).
    if (targets.madeForValues)
        target.columnTypes.clear();
    target.table = table;
    target.columnList = *columns;
    target.valueCount = valueCount;
    target.targets = targets;
    return target;
}

QByteArray CopyTarget::copyStatement() const {
    return (QStringLiteral("COPY ") + tableReference(table) + QLatin1Char(' ') + columnList +
            QStringLiteral(" FROM STDIN"))
        .toUtf8();
}
