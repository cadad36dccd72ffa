#pragma once

#include <QString>
#include <QtGlobal>

// One row of a run's report: something of a file that did not go in, and why.
struct ReportEvent {
    enum class Kind : quint8 {
        Rejected,   // the server (or the run, for a NUL character) rejected this line's record
        NotSent,    // lines from this one on were not sent, or may or may not be in the table
        PassedOver, // the file, or some of its lines, were passed over; nothing was rejected
        Failed,     // an error of the file as a whole (its connection, its table), or of no file
    };

    Kind kind = Kind::Failed;
    QString path;     // the file; empty for an error of no file
    qint64 line = 0;  // counted from 1 as an editor counts; 0 for the file as a whole
    QString sqlState; // the server's, when it gave one for a rejected record
    QString what;     // the server's own message, or the reason the lines were passed over
    QString text;     // a rejected record's text as shown (ShownText), empty for the others
};
