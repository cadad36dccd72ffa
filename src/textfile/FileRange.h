#pragma once

#include <QtGlobal>

#include <vector>

// A part of a file snapshot made of whole records: its bytes from start up to end, the first
// of them beginning the line of index firstLine. The default is the whole snapshot.
struct FileRange {
    qint64 start = 0;
    qint64 end = -1; // -1: the snapshot's end
    qint64 firstLine = 0;
};

// Where a record begins: its offset in the snapshot and the index of its first line.
struct RecordStart {
    qint64 offset = 0;
    qint64 line = 0;
};

// The file's records from `from` on, cut into at most `parts` ranges of about the same length,
// each at least minimumBytes long, at record starts taken from `starts` (in file order, after
// `from`); the last range ends at the snapshot's end. One range, from `from`, when the file
// is too short to cut.
std::vector<FileRange> divideRecords(RecordStart from, qint64 size,
                                     const std::vector<RecordStart>& starts, int parts,
                                     qint64 minimumBytes);
