#pragma once

#include <QString>

// How the fields of a data line, as a RecordReader hands them to a RowSender, become values.
enum class FieldRule {
    // Fields as cut at every separator: every double quote is dropped from a value, and an
    // empty value other than the first is NULL (the empty first value is the empty text).
    Plain,
    // Fields read as CSV reads them: each field is its value exactly. A null QString is NULL;
    // any other text, the empty text too, is that text.
    Quoted,
};

// The empty text as a value under FieldRule::Quoted: not null, so never taken for NULL.
inline QString emptyValue() {
    return QStringLiteral("");
}
