#pragma once

#include "report/PendingRecords.h"
#include "report/ReportEvent.h"
#include "textfile/FieldRule.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class FileSnapshot;

// What a run left out, for the user to see and fix: a summary, one event per thing rejected,
// not sent, passed over or failed, and for each file with rejected records a pair of files
// (RejectFolder): its header line and those records byte for byte, and the reasons.
//
// Nothing of it grows in memory with the lines rejected: events and pending rejections are kept
// in temporary files of the program's own, and the pairs either in the folder given (the
// command line's rejects folder), where they are made as each file's turn ends, or in
// temporary files until saveRejectedInto() copies them.
//
// The run's thread fills it; once the run is over, any one thread reads it.
class RunReport {
public:
    // rejectsFolder: where each file's pair is made; empty for temporary files.
    explicit RunReport(QString rejectsFolder = {});
    ~RunReport();
    RunReport(const RunReport&) = delete;
    RunReport& operator=(const RunReport&) = delete;

    // --- filled by the run; each throws Failure when a file can't be written ---

    // What follows belongs to this file, until endFile().
    void beginFile(const QString& path);
    // The record whose first line has this index (from 0) was rejected.
    void rejected(qint64 lineIndex, const QString& sqlState, const QString& what);
    // `lines` lines from the one of this index on were not sent, or may or may not be in the
    // table.
    void notSent(qint64 lineIndex, qint64 lines, const QString& what);
    // The file, or `lines` of its lines, were passed over (lines 0: the file as a whole).
    void passedOver(const QString& reason, qint64 lines = 0);
    // An error of the file as a whole, or of no file outside a file's turn.
    void failed(const QString& what);
    // The file's lines are all sent: its rejected records are copied out of the snapshot, read
    // by the rule the run read it by (RejectedLineCopy), and its events so far written in line
    // order. headerLine: the file's first record was a header, not a row, and is copied first.
    // Without a snapshot the records' events are written without their texts.
    void keepRejected(FileSnapshot* snapshot, FieldRule rule, const QString& separator,
                      bool headerLine = true);
    // The file's turn is over: the rest of its events are written.
    void endFile();
    // The run is over, with these counts.
    void finish(int filesImported, int filesListed, qint64 rowsIn);

    // --- read once the run is over ---

    // Whether nothing was rejected, not sent, passed over or failed.
    bool isEmpty() const { return m_eventCount == 0; }
    qint64 eventCount() const { return m_eventCount; }
    qint64 linesRejected() const { return m_linesRejected; }
    // "3 of 4 file(s) imported, 99,900 row(s) in, 100 line(s) rejected, 0 line(s) not sent,
    // 1 file(s) and 0 line(s) passed over, in 2.4 s."
    QString summary() const;

    // The first `limit` events, in the order written: file by file in list order, each file's
    // in line order (its own events first, then its records and the lines not sent). Throws
    // Failure when the temporary file can't be read.
    std::vector<ReportEvent> events(qsizetype limit) const;

    // The files whose rejected lines were kept, in list order, and where: the rejects folder's
    // pairs, or none when they are kept in temporary files.
    struct RejectedFile {
        QString path;       // the input file
        qint64 records = 0; // its rejected records
        QString linesFile;  // NAME.rejected in the rejects folder; empty for a temporary file
        QString reasonsFile;
    };
    QList<RejectedFile> rejectedFiles() const;

    // Writes every kept pair into the folder (RejectFolder: made when missing, never over an
    // existing file) and returns the paths written. Throws Failure with the system's words.
    QStringList saveRejectedInto(const QString& folder) const;

private:
    struct Kept;
    void write(const ReportEvent& event);
    void copyRejected(FileSnapshot& snapshot, FieldRule rule, const QString& separator,
                      bool headerLine);

    QString m_rejectsFolder;
    QElapsedTimer m_clock;
    std::unique_ptr<QFile> m_events; // QDataStream of ReportEvent, made with the first one
    qint64 m_eventCount = 0;
    PendingRecords m_pending;
    std::vector<ReportEvent> m_fileEvents; // of the file whose turn it is, written at its end
    std::vector<std::unique_ptr<Kept>> m_kept;
    QString m_path;
    int m_filesPassedOver = 0;
    bool m_passedOverHere = false; // the file whose turn it is was counted as passed over
    qint64 m_linesRejected = 0;
    qint64 m_linesNotSent = 0;
    qint64 m_linesPassedOver = 0;
    int m_filesImported = 0;
    int m_filesListed = 0;
    qint64 m_rowsIn = 0;
    qint64 m_elapsedMs = -1;
};
