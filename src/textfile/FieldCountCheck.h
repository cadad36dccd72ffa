#pragma once

#include "textfile/QuotedFieldParser.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

class ColumnTypes;
class RecordReader;

// The record that ended the run, as the field-count check reports it (recordReport()). It
// holds at most the start of the record's first line, so that a line of any length costs the
// report no more than that.
struct FieldCountReport {
    // The most characters (code points) of the record's first line a report shows.
    static constexpr qsizetype ShownCharacters = 2000;

    qint64 line = 0;           // index of the record's first line; the file's first line is 0
    QString text;              // the start of that line, without carriage returns
    qint64 moreCharacters = 0; // characters of that line after text, left out of the report
    using Problem = QuotedFieldParser::Problem;
    // Why the record ends there under the quoted rule (a quote left open, text after a
    // closing quote); None when it just has another number of fields.
    Problem problem = Problem::None;
    qint64 problemLine = 0; // index of the line where that quote stands

    // text, then " … (N more characters)" when some were left out.
    QString shownText() const;
    // "Line no " + line + ": " + shownText().
    QString recordText() const;
    // The problem as one sentence, its line numbered from firstLine (0 as "Line no" counts, 1
    // as an editor counts); empty without a problem.
    QString why(int firstLine = 0) const;
    // The results window's text: recordText(), and why() on a line of its own.
    QString windowText() const;
    bool operator==(const FieldCountReport&) const = default;
};

// Reads the records from the reader's start and looks for the first record after the first
// whose last field index (field count minus one) differs from the expected value; empty
// records are never reported. A malformed record (an unclosed quote, text after a closing
// quote) is reported too, also when it is the first. Returns the report for that record, or no
// value when every record agrees. Counts fields without keeping them, so memory
// stays bounded whatever the file holds. Throws Failure when the file can't be read.
// When stop is given, it is asked after about every StopCheckRecords records; once it answers true
// the check ends early, with no report, and stopped (when given) is set. When types is given, it
// takes the values of every record after the first (ColumnTypes); the reader then hands lines over
// as bytes and keeps at most the start of a long quoted value.
constexpr qint64 StopCheckRecords = 16384;
std::optional<FieldCountReport> CheckFieldCounts(RecordReader& records, qint16 expected,
                                                 const std::function<bool()>& stop = {},
                                                 bool* stopped = nullptr,
                                                 ColumnTypes* types = nullptr);

// The same for records after the first: every record the reader gives is checked.
std::optional<FieldCountReport> CheckLaterFieldCounts(RecordReader& records, qint16 expected,
                                                      const std::function<bool()>& stop = {},
                                                      bool* stopped = nullptr,
                                                      ColumnTypes* types = nullptr);
