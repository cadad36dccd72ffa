#pragma once

#include "textfile/FieldRule.h"
#include "textfile/QuotedFieldParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// One data line in COPY's text format (tab between values, \N for NULL, a final line feed),
// holding the values the row statement would hold: double quotes removed from each field, an
// empty field other than the first NULL, the empty first field the empty text. Backslash, tab,
// line feed and carriage return are escaped. The bytes are UTF-8, exactly as the row statement
// goes to the server. Under the quoted rule each field is its value, quotes kept, and a null
// field is NULL. The fields must not hold the NUL character.
void appendCopyLine(QByteArray& out, const QStringList& fields, FieldRule rule = FieldRule::Plain);

// The same COPY line as appendCopyLine under the plain rule, made straight from the line's
// bytes: valid UTF-8 (so that its bytes are the row statement's), cut at every separator (its
// UTF-8 bytes; none cuts nothing). For a long line, memory grows by the line's COPY text only.
void appendCopyLineFromBytes(QByteArray& out, QByteArrayView line, QByteArrayView separator);

// The same COPY line as appendCopyLine under the quoted rule, made straight from a line of
// ASCII bytes that is a whole record by itself (QuotedFieldParser::cutAsciiLine) for a
// separator of that one byte. False, with nothing written, for any other line. Where the line
// was cut already, cut gives its fields (Record::cut), and it is not cut again.
bool appendQuotedCopyLineAscii(QByteArray& out, QByteArrayView line, char separator,
                               const QuotedFieldParser::LineFields* cut = nullptr);

// The same COPY line as appendCopyLineFromBytes, for a line whose bytes hold no backslash,
// double quote or control character up to the tab other than the separator, of one byte
// (Record::unescaped):
// each field copied as it stands, each separator a tab, an empty field other than the first
// NULL.
void appendUnescapedCopyLine(QByteArray& out, QByteArrayView line, char separator);

// The COPY line of a line handed over as its bytes (a record as bytes, Record::bytes) under the
// rule: one of the three above (unescaped: Record::unescaped). False, with nothing written, for
// a line to be cut into its values instead.
bool appendCopyLineBytes(QByteArray& out, QByteArrayView line, QByteArrayView separator,
                         FieldRule rule, bool unescaped = false,
                         const QuotedFieldParser::LineFields* cut = nullptr);

// The values of one line written by appendCopyLine (without its line feed), as fields that
// BuildInsertStatement, under the same rule, turns into the same statement as the original
// fields: NULL becomes a null field, any other value a text that is not null.
QStringList copyLineFields(QByteArrayView line);
