#pragma once

#include "sending/ColumnTargets.h"
#include "sending/InsertStatementFromBytes.h"
#include "textfile/FieldRule.h"

#include <QByteArray>
#include <QString>

struct Record;

// The row statement of each record, as the row-by-row path sends it: INSERT INTO the table's
// target columns (BuildInsertStatement), straight from the bytes of a plain line. A record
// holding the NUL character gets no statement but the text of its rejection. An empty value of
// a typed column is NULL (TypedEmptyValues.h).
class RowStatements {
public:
    struct Made {
        QByteArray statement; // empty when rejected
        QString rejection;    // why no statement could be made
    };

    // The rule says how the fields become values; the separator (UTF-8) cuts the records that
    // come as bytes; the path names the file in a rejection.
    RowStatements(QString table, QString path, FieldRule rule, QByteArray separator,
                  ColumnTargets targets = {});

    Made make(const Record& record) const;

private:
    Made fromFields(qint64 lineIndex, const QStringList& fields, FieldRule rule) const;

    QString m_table;
    QString m_path;
    FieldRule m_rule;
    QByteArray m_separator;
    ColumnTargets m_targets;
    InsertStatementFromBytes m_fromBytes;
};
