#pragma once

#include "import/FieldRule.h"

#include <QString>
#include <QStringList>

// Text rules of the import: fields of a line, table and column names, and the statements
// built from them. Pure functions; nothing here touches a file or the server.

// Cuts a line at every occurrence of the separator (matched in full, case-sensitive). The
// empty line has no fields; an empty separator gives one field holding the whole line.
QStringList SplitFields(const QString& line, const QString& separator);

// A table or column name between double quotes, with every double quote inside it doubled so
// that the name can't end the quoted name early.
QString quoteIdentifier(const QString& name);

// INSERT INTO "T" VALUES(...); for one data line, apostrophes doubled. Under the plain rule
// double quotes are removed from each field and an empty field other than the first is NULL;
// under the quoted rule each field is its value and a null field is NULL. Everything else is
// quoted text.
QString BuildInsertStatement(const QString& table, const QStringList& fields,
                             FieldRule rule = FieldRule::Plain);

// The template with every "[counter]" (exactly so written) replaced by the position.
QString ExpandTableName(const QString& nameTemplate, int position);

// Whether the text equals an entry of the list when both are lower-cased.
bool IsInListBox(const QStringList& list, const QString& text);

// The characters of the text that are in the set (keep) or not in it (!keep), in order.
QString FilterCharacters(const QString& text, const QString& set, bool keep);

// Only the ASCII letters and digits of the text.
QString LettersAndDigitsOnly(const QString& text);

// The column name a field of the first line gives, as the server keeps it: its ASCII letters
// and digits (LettersAndDigitsOnly), of which the server keeps the first 63, each one byte
// (StoredTableName::MaxBytes). Taking only those means a long field never becomes a long name
// in the CREATE TABLE text, held and sent only for the server to cut it.
QString HeaderColumnName(const QString& field);

// CREATE TABLE "T"("a" TEXT, "b" TEXT); with no column the statement is malformed on purpose
// (the server rejects it), as the two-character removal takes the opening parenthesis.
QString BuildCreateTableStatement(const QString& table, const QStringList& columns);

// The number of fields SplitFields gives for the line, without building them: occurrences of
// the separator counted from left to right without overlap, plus one; 0 for the empty line.
qsizetype FieldCount(const QString& line, const QString& separator);

// Whether a field holds the NUL character, which a PostgreSQL text value cannot hold and which
// would cut a statement short on its way to the server.
bool HoldsNulCharacter(const QStringList& fields);

// The description reported for a data line that holds the NUL character and so is not sent.
// The line index counts the file's first line as 0, as the field-count report does.
QString NulCharacterRejection(qint64 lineIndex, const QString& path);
