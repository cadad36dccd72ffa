#pragma once

#include <QStringList>

#include <vector>

// Which files of the list may be cut into ranges, one over each connection, and which go whole
// over one, side by side with the files about them. A file has its ranges only where it holds
// more bytes than the files that could go beside it (the jobs - 1 before it and the jobs - 1
// after it in the list) together: a folder of files of like sizes keeps every connection busy
// with a file each, which spares each file's end the wait for its last range and the ranges'
// own work; a file alone, or one much longer than those about it, still has its ranges.
class RangeChoice {
public:
    // The sizes of the files are read once, here; a file that can't be read counts as empty.
    RangeChoice(const QStringList& files, int jobs);
    RangeChoice(std::vector<qint64> sizes, int jobs);

    // The ranges the file at the position (from 1) may go in: the jobs, or 1 to go whole.
    int partsAt(int position) const;
    // Whether a file of at least these bytes may go in ranges.
    bool anyInRangesFrom(qint64 bytes) const;

private:
    std::vector<qint64> m_sizes;
    int m_jobs;
};
