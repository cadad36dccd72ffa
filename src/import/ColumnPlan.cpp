#include "import/ColumnPlan.h"

#include "import/TableNames.h"
#include "sending/Statements.h"

#include <QHash>
#include <algorithm>

namespace {

// A name as a person means it: its letters and digits as a created column keeps them, case
// aside.
QString looseName(const QString& name) {
    return headerColumnName(name).toLower();
}

QString quotedList(const QStringList& names) {
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(QLatin1Char('"') + name + QLatin1Char('"'));
    return quoted.join(QStringLiteral(", "));
}

// The column a field names among the candidates: its exact name first, then its loose name;
// -1 for none, -2 for several.
qsizetype namedColumn(const QString& field, const QStringList& candidates) {
    const qsizetype exact = candidates.indexOf(field);
    if (exact >= 0)
        return exact;
    const QString loose = looseName(field);
    qsizetype found = -1;
    for (qsizetype i = 0; i < candidates.size() && !loose.isEmpty(); ++i) {
        if (looseName(candidates[i]) != loose)
            continue;
        if (found >= 0)
            return -2;
        found = i;
    }
    return found;
}

} // namespace

ColumnPlan ColumnPlan::forAppend(const Options& options, const QStringList& header,
                                 const QStringList& columns, const QString& path) {
    ColumnPlan plan;
    QStringList fieldColumns = columns;
    if (!options.fileColumn.isEmpty()) {
        if (!fieldColumns.removeOne(options.fileColumn)) {
            plan.m_problem = QStringLiteral("the table has no column \"%1\" to record the file "
                                            "name in; no row was sent.")
                                 .arg(options.fileColumn);
            return plan;
        }
        plan.m_targets.constantColumn = options.fileColumn;
        plan.m_targets.constantValue = path;
    }
    if (options.byNames) {
        ColumnPlan named = byNames(options, header, columns);
        if (named.m_problem.isEmpty()) {
            named.m_targets.constantColumn = plan.m_targets.constantColumn;
            named.m_targets.constantValue = plan.m_targets.constantValue;
        }
        return named;
    }
    plan.m_columnsForFields = fieldColumns.size();
    plan.m_countsAgree = header.size() == fieldColumns.size();
    if (plan.m_countsAgree) {
        const ColumnPlan named = byNames(options, header, columns);
        plan.m_namesReordered =
            named.m_problem.isEmpty() && named.m_targets.fieldColumns != fieldColumns;
    }
    if (!options.fileColumn.isEmpty())
        plan.m_targets.fieldColumns = fieldColumns.mid(0, header.size());
    return plan;
}

ColumnPlan ColumnPlan::byNames(const Options& options, const QStringList& header,
                               const QStringList& columns) {
    ColumnPlan plan;
    QStringList unnamed, several, fileName;
    QHash<QString, QStringList> fieldsOf; // column -> the fields that name it
    for (const QString& field : header) {
        const qsizetype found = namedColumn(field, columns);
        if (found == -1)
            unnamed.append(field);
        else if (found == -2)
            several.append(field);
        else if (columns[found] == options.fileColumn && !options.fileColumn.isEmpty())
            fileName.append(field);
        else {
            fieldsOf[columns[found]].append(field);
            plan.m_targets.fieldColumns.append(columns[found]);
        }
    }
    QStringList problems;
    if (!unnamed.isEmpty())
        problems.append(QStringLiteral("no column is named %1").arg(quotedList(unnamed)));
    if (!several.isEmpty())
        problems.append(
            QStringLiteral("%1 could name more than one column").arg(quotedList(several)));
    for (const QString& column : columns)
        if (fieldsOf.value(column).size() > 1)
            problems.append(QStringLiteral("%1 all name the column \"%2\"")
                                .arg(quotedList(fieldsOf.value(column)), column));
    if (!fileName.isEmpty())
        problems.append(QStringLiteral("%1 names the column that records the file name")
                            .arg(quotedList(fileName)));
    if (!problems.isEmpty()) {
        plan.m_targets = ColumnTargets();
        plan.m_problem = QStringLiteral("the fields of its first line do not match the table's "
                                        "columns by name: %1; the table's columns are %2; no "
                                        "row was sent.")
                             .arg(problems.join(QStringLiteral("; ")), quotedList(columns));
    }
    return plan;
}

ColumnPlan ColumnPlan::forCreate(const QString& fileColumn, const QStringList& columns,
                                 const QString& path, const QStringList& types) {
    ColumnPlan plan;
    plan.m_created = columns;
    plan.m_createdTypes = types;
    std::vector<bool> typed;
    for (const QString& type : types)
        typed.push_back(type != QStringLiteral("TEXT"));
    if (std::find(typed.begin(), typed.end(), true) != typed.end()) {
        plan.m_targets.nullWhenEmpty = typed;
        plan.m_targets.madeForValues = true;
    }
    if (fileColumn.isEmpty())
        return plan;
    if (columns.contains(fileColumn)) {
        plan.m_problem = QStringLiteral("the column \"%1\" that records the file name is also a "
                                        "column of the file; no table was created and no row "
                                        "was sent.")
                             .arg(fileColumn);
        return plan;
    }
    plan.m_targets.fieldColumns = columns;
    plan.m_targets.constantColumn = fileColumn;
    plan.m_targets.constantValue = path;
    plan.m_created.append(fileColumn);
    return plan;
}

QString ColumnPlan::createTableStatement(const QString& table) const {
    return BuildCreateTableStatement(table, m_created, m_createdTypes);
}
