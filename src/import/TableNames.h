#pragma once

#include <QString>
#include <QStringList>

// Names of new tables and of their columns, as the run makes them from the template, the
// first line of a file and the user's answers.

// The template with every "[counter]" (exactly so written) replaced by the position.
QString ExpandTableName(const QString& nameTemplate, int position);

// Whether the text equals an entry of the list when both are lower-cased.
bool IsInListBox(const QStringList& list, const QString& text);

// The characters of the text that are in the set (keep) or not in it (!keep), in order.
QString FilterCharacters(const QString& text, const QString& set, bool keep);

// Only the ASCII letters and digits of the text.
QString LettersAndDigitsOnly(const QString& text);

// The column name a field of the first line gives, as the server keeps it: its ASCII letters
// and digits (LettersAndDigitsOnly()), of which the server keeps the first 63, each one byte
// (StoredTableName::MaxBytes). Taking only those means a long field never becomes a long name
// in the CREATE TABLE text, held and sent only for the server to cut it.
QString headerColumnName(const QString& field);
