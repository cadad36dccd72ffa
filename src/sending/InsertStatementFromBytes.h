#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The row statement of a plain line straight from its UTF-8 bytes ("from bytes", as in
// FieldSplitting.h), with no text made of it: the very bytes of BuildInsertStatement(table,
// SplitFields(line, separator)) in UTF-8. The line must be valid UTF-8; the separator is the
// separator's UTF-8 bytes (none cuts nothing). The statement is measured before it is written,
// so that a long line takes no more memory than its statement.
class InsertStatementFromBytes {
public:
    explicit InsertStatementFromBytes(const QString& table);

    QByteArray build(QByteArrayView line, QByteArrayView separator) const;

private:
    QByteArray m_prefix; // INSERT INTO "T" VALUES(
};
