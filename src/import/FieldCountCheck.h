#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

class RecordReader;

// Reads the records from the reader's start and looks for the first record after the first
// whose last field index (field count minus one) differs from the expected value; empty
// records are never reported. A malformed record (an unclosed quote, text after a closing
// quote) is reported too, also when it is the first. Returns the report (recordReport) for that
// record, or no value when every record agrees. Counts fields without keeping them, so memory
// stays bounded whatever the file holds. Throws Failure when the file can't be read.
std::optional<QString> CheckFieldCounts(RecordReader& records, qint16 expected);
