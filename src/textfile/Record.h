#pragma once

#include "textfile/QuotedFieldParser.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// One record of a file: one line under FieldRule::Plain, one or more under FieldRule::Quoted.
struct Record {
    using Problem = QuotedFieldParser::Problem;

    qint64 line = 0; // index of its first line; the file's first line is 0
    QString text;    // its first line as read (under the quoted rule with its
                     // carriage returns still in it); see bytes
    // A record "as bytes": under the plain rule, when the line is valid UTF-8 and the reader
    // hands such lines over as bytes (counting only, or keepLinesAsBytes()), its bytes without
    // carriage returns, valid until the next record is read; text and fields are then left
    // empty. Under the quoted rule the same for a line of ASCII bytes that is a whole record by
    // itself and a separator of one byte (QuotedFieldParser::cutAsciiLine), its carriage
    // returns still in it. Null otherwise.
    QByteArrayView bytes;
    // Under the plain rule, for a record as bytes of ASCII cut at a separator of one byte:
    // whether no byte other than a separator is a backslash, a double quote or a control
    // character up to the tab (NUL and tab among them), so that each field's bytes are its
    // value's COPY text as they stand.
    bool unescaped = false;
    // Under the quoted rule, for a record as bytes that is not empty: where its fields lie in
    // them (QuotedFieldParser::cutAsciiLine()), valid as long as bytes. Null otherwise.
    const QuotedFieldParser::LineFields* cut = nullptr;
    QStringList fields;              // as the rule gives them (FieldRule.h); only when asked for
    qsizetype fieldCount = 0;        // 0 for an empty record
    Problem problem = Problem::None; // a malformed record (quoted rule only)
    qint64 problemLine = 0;          // index of the line where the problem lies
                                     // (QuotedFieldParser::problemLine())
};
