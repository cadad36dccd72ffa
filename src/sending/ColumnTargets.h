#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Which table columns a file's values go into. Empty (the default): by position, the table's
// first columns in table order, as many as a line has values, exactly as before.
//
// Otherwise a record of k values goes into the first k field columns (the columns after them
// keep their defaults), then the constant column; a record of more values than there are field
// columns is sent with all of them, and the server rejects it. The constant column is only set
// together with field columns.
struct ColumnTargets {
    QStringList fieldColumns; // the table column (its name as the catalogue holds it, unquoted)
                              // of each field, in field order
    QString constantColumn;   // a column that receives constantValue in every row; empty: none
    QString constantValue;    // text, never NULL (e.g. the file's path)
    // For each field, whether its column is typed (not TEXT): an empty value there, quoted or
    // not and the first one too, is NULL, which the type takes where the empty text fails.
    // Empty: every field follows its rule alone.
    std::vector<bool> nullWhenEmpty = {};
    // The table was made with the types the file's values were found to have (ColumnTypes), so
    // that no value needs to be looked at before it is sent (ValuePrecheck).
    bool madeForValues = false;
    bool byPosition() const { return fieldColumns.isEmpty() && constantColumn.isEmpty(); }
};
