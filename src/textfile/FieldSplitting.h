#pragma once

#include "textfile/FieldRule.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// How a line is cut into fields, as text and as its bytes. "FromBytes": a line of valid UTF-8
// bytes taken as it stands in the file (no text is made of it first), cut exactly as its text
// would be.

// Cuts a line at every occurrence of the separator (matched in full, case-sensitive). The
// empty line has no fields; an empty separator gives one field holding the whole line.
QStringList SplitFields(const QString& line, const QString& separator);

// The number of fields SplitFields gives for the line, without building them: occurrences of
// the separator counted from left to right without overlap, plus one; 0 for the empty line.
qsizetype fieldCount(const QString& line, const QString& separator);

// The number of fields of a plain line of UTF-8 bytes cut at every separator (UTF-8), as
// fieldCount() counts those of its text.
qsizetype fieldCountFromBytes(QByteArrayView line, QByteArrayView separator);

// The fields of a plain line of UTF-8 bytes, as SplitFields() cuts its text.
QStringList fieldsFromBytes(QByteArrayView line, QByteArrayView separator);

// The values of a line of bytes that is a whole record by itself, under the given rule: under
// the plain rule its fields (fieldsFromBytes() of its text), under the quoted rule what
// QuotedFieldParser makes of it.
QStringList valuesFromBytes(QByteArrayView line, QByteArrayView separator, FieldRule rule);
