#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

class RecordReader;

// The record that ended the run, as the field-count check reports it.
struct FieldCountReport {
    qint64 line = 0; // index of the record's first line; the file's first line is 0
    QString text;    // what the report shows of the record (recordReport())

    // The results window's text: "Line no " + line + ": " + text.
    QString windowText() const {
        return QStringLiteral("Line no ") + QString::number(line) + QStringLiteral(": ") + text;
    }
    bool operator==(const FieldCountReport&) const = default;
};

// Reads the records from the reader's start and looks for the first record after the first
// whose last field index (field count minus one) differs from the expected value; empty
// records are never reported. A malformed record (an unclosed quote, text after a closing
// quote) is reported too, also when it is the first. Returns the report for that record, or no
// value when every record agrees. Counts fields without keeping them, so memory
// stays bounded whatever the file holds. Throws Failure when the file can't be read.
std::optional<FieldCountReport> CheckFieldCounts(RecordReader& records, qint16 expected);
