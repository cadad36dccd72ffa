#pragma once

#include <QString>
#include <QtGlobal>

// A rejection a sender reports: of one record, rejected by the server or before sending, or of
// lines from a record on that were not sent or may or may not be in the table (the connection
// was lost beyond hope, the server refused the table).
struct LineRejection {
    qint64 line = 0;      // index of the record's first line in the file (line 0 is the first line)
    QString description;  // what to report
    QString sqlState;     // the server's; empty when the server gave none for this record
    bool ofRecord = true; // false: the description speaks of lines from this one on
    qint64 lines = 1;     // the lines it speaks of
};
