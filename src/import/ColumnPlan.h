#pragma once

#include "sending/ColumnTargets.h"

#include <QString>
#include <QStringList>

// Which table column each field of a file goes into: by position, as the run always did, or
// by the names of the file's first line; and the column, if any, that receives the file's path
// in every row. Pure: the table's columns come from the catalogue (readTableColumns()).
class ColumnPlan {
public:
    struct Options {
        bool byNames = false; // fields go to the columns their first line names
        QString fileColumn;   // receives the file's path; empty: none
    };

    // Append: the file's first line and the table's columns in table order. By names, a field
    // goes to the column of exactly its name, else to the one whose letters and digits are the
    // field's, case aside (so "First Name" finds the column FirstName that a run made of it).
    // A field that names no column or several, two fields that name one column, or a field
    // that names the file-name column leave the plan with a problem. By position the fields go
    // to the table's columns other than the file-name column, in order (countsAgree() tells
    // whether as many), and nothing is planned when neither option is on.
    static ColumnPlan forAppend(const Options& options, const QStringList& header,
                                const QStringList& columns, const QString& path);
    // Create: the columns made for the file's fields; the file-name column comes after them,
    // and must not be one of them. With types (one per field, as CREATE TABLE names them; none:
    // all TEXT), an empty value of a column of another type than TEXT goes as NULL.
    static ColumnPlan forCreate(const QString& fileColumn, const QStringList& columns,
                                const QString& path, const QStringList& types = {});

    const ColumnTargets& targets() const { return m_targets; }
    // Create: the new table's columns, the file-name column last.
    const QStringList& createdColumns() const { return m_created; }
    // Create: the statement that makes the table of those columns, of their types.
    QString createTableStatement(const QString& table) const;
    // Why the file can't go in, as the reason of passing it over; empty when it can.
    const QString& problem() const { return m_problem; }
    // By position: whether the file has a field for each of the table's columns that the
    // fields fill (all of them but the file-name column); by names always true.
    bool countsAgree() const { return m_countsAgree; }
    // By position: whether the first line names each of those columns once, but in another
    // order, so that by names the values would go elsewhere.
    bool namesReordered() const { return m_namesReordered; }
    // The table's columns that the fields fill by position.
    qsizetype columnsForFields() const { return m_columnsForFields; }

private:
    static ColumnPlan byNames(const Options& options, const QStringList& header,
                              const QStringList& columns);

    ColumnTargets m_targets;
    QStringList m_created;
    QStringList m_createdTypes;
    QString m_problem;
    bool m_countsAgree = true;
    bool m_namesReordered = false;
    qsizetype m_columnsForFields = 0;
};
