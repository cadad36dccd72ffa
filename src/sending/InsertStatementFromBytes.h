#pragma once

#include "sending/ColumnTargets.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

// The row statement of a plain line straight from its UTF-8 bytes ("from bytes", as in
// FieldSplitting.h), with no text made of it: the very bytes of BuildInsertStatement(table,
// SplitFields(line, separator), FieldRule::Plain, targets) in UTF-8. The line must be valid
// UTF-8; the separator is the separator's UTF-8 bytes (none cuts nothing). The statement is
// measured before it is written, so that a long line takes no more memory than its statement.
class InsertStatementFromBytes {
public:
    explicit InsertStatementFromBytes(const QString& table, const ColumnTargets& targets = {});

    QByteArray build(QByteArrayView line, QByteArrayView separator) const;

private:
    QByteArray m_head;    // INSERT INTO "T" VALUES( by position, else INSERT INTO "T" (
    QByteArray m_columns; // "b", "a": the field columns, quoted
    std::vector<qsizetype> m_columnEnd; // where the list of the first i + 1 of them ends
    QByteArray m_constantColumn;        // "src", or empty
    QByteArray m_valuesOpen;            // ) VALUES( after a column list; empty by position
    QByteArray m_tail;                  // ,'path'); or );
};
