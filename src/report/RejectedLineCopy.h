#pragma once

#include "report/PendingRecords.h"
#include "report/ReportEvent.h"
#include "textfile/FieldRule.h"

#include <QIODevice>
#include <QString>
#include <functional>

class FileSnapshot;

// Copies the rejected records of one file out of its snapshot, once its turn is over:
//  - into `lines`, the file's first record when it is a header line, and then every rejected
//    record (the first one too when it was a row), each once, byte for byte as they stand in
//    the file: its byte-order mark, its encoding, its line ends (a record of several lines
//    whole), so that the result reads, and loads again, as the file did;
//  - into `reasons`, a CSV file with the header "line,SQLSTATE,message" and one row per
//    rejected record (its first line counted from 1);
//  - to `event`, one Rejected event per record, in the order rejected, with the record's text
//    as the report shows it.
// The snapshot is read once by the rule (quoted records only: to learn where each ends) and
// once as lines; memory holds one line and, under the quoted rule, one number per rejected
// record. Throws Failure when a file can't be read or written.
class RejectedLineCopy {
public:
    struct Target {
        QIODevice& lines;
        QIODevice& reasons;
        std::function<void(const ReportEvent&)> event;
    };

    // The characters of a record's text that an event keeps.
    static constexpr qsizetype ShownCharacters = 300;

    // headerLine: the file's first record is a header, copied whether rejected or not.
    RejectedLineCopy(FileSnapshot& file, FieldRule rule, QString separator, QString path,
                     bool headerLine = true)
        : m_file(file)
        , m_rule(rule)
        , m_separator(std::move(separator))
        , m_path(std::move(path))
        , m_headerLine(headerLine) {}

    void copy(PendingRecords& pending, const Target& target);

private:
    struct Extents;
    Extents findExtents(PendingRecords& pending);
    // Hands on one rejected record: its event and its row of reasons.
    void report(const PendingRecords::Entry& entry, const QString& text,
                const Target& target) const;

    FileSnapshot& m_file;
    FieldRule m_rule;
    QString m_separator;
    QString m_path;
    bool m_headerLine;
};
