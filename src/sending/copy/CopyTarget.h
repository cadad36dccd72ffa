#pragma once

#include "sending/copy/ValuePrecheck.h"

#include <QString>
#include <optional>
#include <vector>

class Connection;

// Whether lines of valueCount values may go into the table by COPY with exactly the outcome of
// one INSERT INTO "table" VALUES(...) per line: the same rows, the same values, the same lines
// accepted. Answers with the COPY column list, "(" + the table's first valueCount columns in
// table order, quoted, + ")", or nothing when the lines must go row by row.
//
// COPY is allowed only for an ordinary or partitioned table (found as the row statement finds
// it) on which the user may insert, where no table of its partition tree has rules, row-level
// security, triggers of its own (the internal ones of foreign keys are fine), a foreign-table
// partition, a constraint checked at commit or a foreign key into the tree itself (COPY checks
// those after its last row, INSERT after each one); where none of the first valueCount columns
// is GENERATED ALWAYS (COPY writes those, INSERT refuses) or computed; where the table has at
// least valueCount columns; and where every further column is filled without a default of any
// kind (a sequence or a volatile default would give other values after rejected lines).
//
// When COPY is allowed and columnTypes is given, it receives what ValuePrecheck needs of each
// of those columns, in the same order.
//
// Reads the catalogue over the connection, outside any transaction. Never throws: a failing
// query answers nothing.
std::optional<QString> copyColumnList(Connection& connection, const QString& table,
                                      qsizetype valueCount,
                                      std::vector<ValuePrecheck::Column>* columnTypes = nullptr,
                                      QString* relationName = nullptr);

// A table that lines of a number of values may go into by COPY (copyColumnList()), as a
// CopySender takes it.
struct CopyTarget {
    QString table;        // the table, as the row statement names it (tableReference())
    QString relationName; // its own name, unquoted, as the server's messages write it
    QString columnList;   // "(a, b)", the columns the values go into
    qsizetype valueCount = 0;
    std::vector<ValuePrecheck::Column> columnTypes;

    // The target, or nothing when the lines must go row by row.
    static std::optional<CopyTarget> find(Connection& connection, const QString& table,
                                          qsizetype valueCount);
    // COPY "table" (a, b) FROM STDIN, in UTF-8.
    QByteArray copyStatement() const;
};
