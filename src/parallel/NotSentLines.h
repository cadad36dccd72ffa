#pragma once

#include "resume/ResumingSender.h"
#include "sending/LineRejection.h"

#include <QString>
#include <optional>
#include <vector>

// The lines of a file's ranges that were not sent (the server gone beyond the bound, the table
// refused), told as one message at the file's end, as a file sent over one connection tells
// them: in that one's words where they run from one line to the file's end, else with their
// stretches named, since lines between them went in.
class NotSentLines {
public:
    // A range's lines not sent, in file order; nextRangeLine is the index of the next range's
    // first line, -1 for the last range.
    void add(const ResumingSender::NotSent& notSent, qint64 nextRangeLine);

    std::optional<LineRejection> rejection(const QString& path) const;

private:
    struct Stretch {
        qint64 first;     // index of the first line not sent
        qint64 afterLast; // index of the line after the stretch, -1: to the file's end
        qint64 lines;
        QString reason;
    };
    std::vector<Stretch> m_stretches;
};
