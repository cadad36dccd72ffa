#pragma once

#include <QString>
#include <QStringList>

// The columns of a new table named by a file's first line: one per field, named by
// headerColumnName() (its ASCII letters and digits, the first 63 of them). A table can be made
// of them only when every field gives a name and no two names are equal as the server compares
// quoted names (exactly, case and all); otherwise no CREATE TABLE is to be sent, as the server
// would refuse it or, without the fields that give no name, make a table with fewer columns
// than the file.
class HeaderColumns {
public:
    explicit HeaderColumns(const QStringList& header);

    const QStringList& names() const { return m_names; }

    // Why the names can't make a table, in words for the user that name the fields (counted
    // from 1) and, for names given twice, the name; empty when they can.
    const QString& problem() const { return m_problem; }

private:
    QStringList m_names;
    QString m_problem;
};
