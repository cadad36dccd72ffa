#pragma once

#include "sending/ColumnTargets.h"
#include "textfile/FieldRule.h"

#include <QString>
#include <QStringList>

// The SQL text the senders and the run build: quoted names, row statements, CREATE TABLE.
// Pure functions; nothing here touches a file or the server.

// A table or column name between double quotes, with every double quote inside it doubled so
// that the name can't end the quoted name early.
QString quoteIdentifier(const QString& name);

// A table as the list of existing tables names it, as SQL: a name that the search path finds
// (the table's bare name, "orders"), or an identifier as SQL writes it, of one or two parts
// each bare in lower case or in double quotes ("sales.orders", "\"Odd Schema\".\"T\"",
// "\"a.b\""), which the list shows for a table that its bare name would not reach, and for a
// name that holds a dot or begins with a double quote. A text that begins with a double quote
// or holds a dot and is such an identifier is taken as it is; any other text is one name,
// quoted (quoteIdentifier()), so no text can reach beyond naming a table.
QString tableReference(const QString& listed);

// INSERT INTO "T" VALUES(...); for one data line, the table named as tableReference() takes it,
// apostrophes doubled. Under the plain rule double quotes are removed from each field and an empty
// field other than the first is NULL; under the quoted rule each field is its value and a null
// field is NULL. Everything else is quoted text. Unless the targets go by position the table is
// followed by their column list for the line's number of values (targetColumnList()), and the
// constant value, when there is one, follows the fields as quoted text as it is (never NULL, its
// double quotes kept): INSERT INTO "T" ("b", "a", "src") VALUES('2','1','path');
QString BuildInsertStatement(const QString& table, const QStringList& fields,
                             FieldRule rule = FieldRule::Plain, const ColumnTargets& targets = {});

// The columns a record of valueCount values goes into under targets that do not go by
// position, quoted and in parentheses: the first valueCount field columns (all of them for more
// values), then the constant column, if any: ("b", "a", "src").
QString targetColumnList(const ColumnTargets& targets, qsizetype valueCount);

// A text as an SQL literal: between apostrophes, each apostrophe inside it doubled.
QString textLiteral(const QString& text);

// CREATE TABLE "T"("a" TEXT, "b" TEXT); with no column the statement is malformed on purpose
// (the server rejects it), as the two-character removal takes the opening parenthesis. A column
// with a type among types (by position) has that type instead of TEXT.
QString BuildCreateTableStatement(const QString& table, const QStringList& columns,
                                  const QStringList& types = {});

// Whether a field holds the NUL character, which a PostgreSQL text value cannot hold and which
// would cut a statement short on its way to the server.
bool holdsNulCharacter(const QStringList& fields);

// The description reported for a data line that holds the NUL character and so is not sent.
// The line index counts the file's first line as 0, as the field-count report does.
QString nulCharacterRejection(qint64 lineIndex, const QString& path);
