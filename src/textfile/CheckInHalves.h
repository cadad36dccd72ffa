#pragma once

#include "textfile/FieldCountCheck.h"
#include "textfile/FieldRule.h"
#include "textfile/FileRange.h"
#include "textfile/LineDecoder.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class FileSnapshot;

// A long file's field counts checked in two halves at once, cut at a line start after its
// middle: the first half on the caller's thread, the second on a thread of its own, so that a
// run over several connections waits for half the reading before its first rows go. Under the
// plain rule every line is a record; under the quoted rule the cut is a record's start exactly
// when the first half's last record ends there (a record goes on past a line end only inside
// quotes), so a first half that ends in a quote left open is read on from the start instead.
// What it finds is what one reading from the start finds: the first record, in file order,
// whose field count differs or that is malformed (the second half's counts only when the
// first half has none), the lines, the record starts noted about every startSpacing bytes (0:
// none), the lines read as Windows-1252.
struct CheckedInHalves {
    std::optional<FieldCountReport> report;
    bool stopped = false; // stop answered true: nothing else holds
    qint64 lines = 0;     // as RecordReader::linesRead() counts them
    std::vector<RecordStart> starts;
    LineDecoder decoder;
};

// The check of the file's records against the expected last field index, under the rule with
// the separator, or no value when the file has no line start after its middle or its first
// half ends in a quote left open (it is then checked from the start as usual). stop is asked on
// the caller's thread only: every StopCheckRecords records of the first half, and every few
// milliseconds while the second half is awaited. Throws Failure as a reading from the start
// would: the first half's failure first.
std::optional<CheckedInHalves> checkInHalves(FileSnapshot& file, FieldRule rule,
                                             const QString& separator, qint16 expected,
                                             qint64 startSpacing,
                                             const std::function<bool()>& stop);
