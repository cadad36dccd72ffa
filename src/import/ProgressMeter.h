#pragma once

#include "import/ImportFrontEnd.h"

#include <QString>
#include <QtGlobal>
#include <deque>

// Turns the progress reports of one run into the texts a front end shows: the file being
// imported (k of n), the rows sent and the rows per second over the last few seconds. Reports
// come with the time they were seen, in milliseconds of any steady clock. Use one thread at a
// time.
class ProgressMeter {
public:
    void update(const ImportProgress& progress, qint64 atMilliseconds);

    // "File 2 of 5: name.csv" (the file's name without its folder); empty before any report.
    QString fileText() const;
    // "123,456 rows sent, 45,678 rows/s"; the rate is left out until rows have been arriving
    // for a second.
    QString rowsText() const;
    // Rows per second over the last few seconds, or -1 while rows have been arriving for too
    // short a span to tell. The span begins at the first report whose rows went up: the time
    // before it (connecting, reading ahead, the first chunk in flight) says nothing of the rate.
    qint64 rowsPerSecond() const;

    const ImportProgress& last() const { return m_last; }

private:
    struct Sample {
        qint64 at = 0;
        qint64 rows = 0;
    };

    ImportProgress m_last;
    bool m_seen = false;
    bool m_rowsArriving = false;  // some report had more rows than the first one
    std::deque<Sample> m_samples; // the first is the newest one at least a window old
};
