#pragma once

#include "parallel/SideLanes.h"
#include "resume/ResumingSender.h"
#include "sending/ColumnTargets.h"
#include "textfile/RecordReader.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ImportFrontEnd;
class ImportReporter;
class InputFile;
class IntervalCheck;
class LanePool;
class RunConnection;
class SentAhead;
class StepRunner;
struct ImportChoices;

// The data-line loop of one file's turn: reads the records after the first (from the first
// when the choices send it, ImportChoices::sendsFirstLine()) as the field-count check read
// them, passes over the empty ones and those of fewer than two fields, and hands the others to
// a ResumingSender into the table, each step under its number (the numbers differ
// between the run's three flows). A rejected line is reported at the execute step, its line
// counted from 1. A stop is taken once a record is in hand. Used on the run's thread.
//
// With more than one job (ImportChoices::jobs) and a pool of further connections, a file long
// enough for ranges, into a table that takes them (rangesTarget()), is cut into ranges at record
// starts the field-count check noted: the run's thread sends the first range over the file's
// connection, a Lane each of the others over a connection of the pool. Their reports follow
// those of the first range, range by range, so that everything is shown in line order. A file
// sent ahead (SentAhead) went whole over a lane: its reports are shown as those of a range.
class DataLineLoop {
public:
    // The numbered steps of one loop.
    struct Steps {
        int open;      // the file is opened again and its header line passed over
        int next;      // the next line is read
        int empty;     // an empty line is passed over
        int split;     // the line is cut into fields
        int fewFields; // a line of fewer than two fields is passed over
        int build;     // the row statement is built
        int execute;   // the row is sent; rejections are reported here
    };

    struct Outcome {
        qint64 rowsSent = 0;         // rows the server accepted
        qint64 withoutSeparator = 0; // non-empty records of fewer than two fields
        qint64 handedOver = 0;       // records given to the sender
        bool allSent = false;        // read to its end, and every record handed over was sent
        bool cancelled = false;      // the user stopped the run
    };

    // Told the rows accepted so far in this file, and the bound in seconds while the server is
    // waited for (0 otherwise).
    using Progress = std::function<void(qint64 rows, int waitingSeconds)>;

    struct Context {
        StepRunner& run;
        ImportReporter& ui;
        ImportFrontEnd& frontEnd;
        InputFile& file;
        RunConnection& connection;
        const ImportChoices& choices;
        QString path;
        IntervalCheck& progressInterval;
        Progress progress;
        LanePool* lanes = nullptr;       // the further connections; none: one connection
        SentAhead* ahead = nullptr;      // the file was sent ahead: its lane's reports are shown
        std::function<void()> stopAhead; // stops the lane of a file sent ahead
        int parts = 1;                   // the ranges the file may go in (RangeChoice)
    };

    explicit DataLineLoop(Context context)
        : m_context(std::move(context)) {}

    // Sends the file's data lines; once per loop.
    // The fields go into the targets' columns (ColumnTargets).
    Outcome send(const QString& table, const Steps& steps, const ColumnTargets& targets);

private:
    // Opens the records and makes the sender; false when that step failed.
    bool open(const QString& table, const Steps& steps, const ColumnTargets& targets);
    // Reads the next record into `record` (`more` false at the end); false when it failed.
    bool readNext(Record& record, const Steps& steps, bool& more);
    // The file's ranges when it goes in several, the side lanes started for all but the first;
    // empty when it goes over one connection. The choice keeps the COPY target found for them.
    std::vector<FileRange> startLanes(SenderChoice& choice, const Steps& steps);
    // The side lanes' reports shown, their outcome added to the outcome.
    void finishLanes(Outcome& outcome, const RowSender::Rejected& rejected);
    // The reports of the file sent ahead, and its outcome.
    Outcome showSentAhead(const Steps& steps);
    void reportRejectionsAt(int execute);
    // The progress, once the interval passed, as a chunk of the run's own sender commits.
    void showCommitted();

    Context m_context;
    std::optional<RecordReader> m_records;
    std::unique_ptr<ResumingSender> m_sender;
    RowSender::Rejected m_rejected;
    SideLanes m_side;
};
