#pragma once

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
class RunConnection;
class StepRunner;
struct ImportChoices;

// The data-line loop of one file's turn: reads the records after the first (from the first
// when the choices send it, ImportChoices::sendsFirstLine()) as the field-count check read
// them, passes over the empty ones and those of fewer than two fields, and hands the others to
// a ResumingSender into the table, each step under its number (the numbers differ
// between the run's three flows). A rejected line is reported at the execute step, its line
// counted from 1. A stop is taken once a record is in hand. Used on the run's thread.
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

    Context m_context;
    std::optional<RecordReader> m_records;
    std::unique_ptr<ResumingSender> m_sender;
};
