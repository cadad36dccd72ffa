#pragma once

#include "sending/ColumnTargets.h"
#include "sending/copy/ValuePrecheck.h"

#include <QString>
#include <optional>
#include <vector>

class Connection;

// Whether lines of valueCount values may go into the table by COPY with exactly the outcome of
// one row statement per line (BuildInsertStatement with the same targets): the same rows, the
// same values, the same lines accepted. Answers with the COPY column list, the listed columns
// quoted in parentheses, ("a", "b"), or nothing when the lines must go row by row. By
// position the listed columns are the table's first valueCount columns in table order;
// otherwise the first valueCount field columns of the targets, then their constant column
// (targetColumnList()).
//
// COPY is allowed only for an ordinary or partitioned table (found as the row statement finds
// it) on which the user may insert, where no table of its partition tree has rules, row-level
// security, a foreign-table partition, a constraint checked at commit or a foreign key into the
// tree itself (COPY checks those after its last row, INSERT after each one), nor a trigger of
// its own that fires on INSERT unless that trigger fires for each row, sees no transition
// table, has no WHEN condition and runs a PL/pgSQL function known to act on NEW alone
// (TriggerBodyNames), with no function or operator of the names it uses outside pg_catalog.
// Such a trigger fires under COPY once for every row that is committed, as under INSERT: a
// piece that fails is rolled back with its triggers' work, and a rejected line is sent alone as
// its INSERT. Triggers of UPDATE, DELETE or TRUNCATE alone never fire while lines are loaded;
// the internal ones of foreign keys are fine. A function that runs statements (an audit row into
// another table, a query of the table), draws from a sequence or sends notices keeps the table
// off COPY: what a failed piece drew from a sequence (the audit table's serial key too) is not
// given back, its notices were sent, and an AFTER trigger's query sees the whole piece's rows.
//
// COPY also needs every listed column to exist, be listed once and be neither GENERATED ALWAYS
// (COPY writes those, INSERT refuses) nor computed; valueCount columns to list (the table's, or
// the targets' field columns); and every column not listed filled without a default of any
// kind (a sequence or a volatile default would give other values after rejected lines). Where
// the server would reject every row statement (a column the table lacks), the answer is
// nothing, so that each line is rejected with the server's own message.
//
// When COPY is allowed and columnTypes is given, it receives what ValuePrecheck needs of each
// listed column, in the order listed; NOT NULL is left out where a row-level trigger fires
// before the row is written, as it may fill the column (the server still has the last word).
//
// orderFree receives whether the lines accepted are the same whatever order they go in: no
// table of the tree has a unique index or an exclusion constraint. With one, which of two equal
// keys is rejected depends on which line goes first, where one INSERT per line in line order
// always rejects the later line. (What else hangs on the order of rows, a sequence's draws, a
// foreign key into the tree, a trigger that runs statements, keeps the table off COPY already.)
// Then ranges of a file may go side by side over several connections, and a line the server will
// refuse may go after the lines that follow it in its chunk.
//
// Reads the catalogue over the connection, outside any transaction. Never throws: a failing
// query answers nothing.
std::optional<QString> copyColumnList(Connection& connection, const QString& table,
                                      qsizetype valueCount,
                                      std::vector<ValuePrecheck::Column>* columnTypes = nullptr,
                                      QString* relationName = nullptr,
                                      const ColumnTargets& targets = {}, bool* orderFree = nullptr);

// A table that lines of a number of values may go into by COPY (copyColumnList()), as a
// CopySender takes it.
struct CopyTarget {
    QString table;        // the table, as the row statement names it (tableReference())
    QString relationName; // its own name, unquoted, as the server's messages write it
    QString columnList;   // "(a, b)", the columns the values go into
    qsizetype valueCount = 0;
    std::vector<ValuePrecheck::Column> columnTypes; // of the listed columns, in that order
    ColumnTargets targets;  // as given; every COPY line ends with their constant value, if any
    bool orderFree = false; // lines may go in any order with the same outcome (copyColumnList())

    // The target, or nothing when the lines must go row by row.
    static std::optional<CopyTarget> find(Connection& connection, const QString& table,
                                          qsizetype valueCount, const ColumnTargets& targets = {});
    // COPY "table" (a, b) FROM STDIN, in UTF-8.
    QByteArray copyStatement() const;
};
