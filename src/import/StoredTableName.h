#pragma once

#include <QString>
#include <QStringList>

// A table name as the server will keep it. The server cuts every identifier to 63 bytes of
// UTF-8, never inside a character, and creates or finds the table under the cut name with no
// more than a notice; so two names that differ only after those bytes name one table. Every
// comparison of a new table's name with the list of existing tables goes through this rule.
class StoredTableName {
public:
    static constexpr qsizetype MaxBytes = 63;

    explicit StoredTableName(const QString& name);

    // The name as stored: the given name, or its longest start of at most MaxBytes bytes.
    const QString& text() const { return m_text; }

    // Whether an entry of the list names the same table: both taken as stored, then compared
    // lower-cased, as IsInListBox compares.
    bool isListedIn(const QStringList& tables) const;

private:
    QString m_text;
};
