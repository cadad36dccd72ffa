#pragma once

#include "import/DataLineLoop.h"
#include "import/FilesAhead.h"
#include "import/ImportChoices.h"
#include "import/ImportFrontEnd.h"
#include "import/ImportReporter.h"
#include "import/ImportRun.h"
#include "import/IntervalCheck.h"
#include "import/RangeChoice.h"
#include "parallel/LanePool.h"
#include "resume/RunConnection.h"
#include "shell/StepRunner.h"
#include "textfile/InputFile.h"

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class ColumnPlan;

// The steps of an import run (runImportOver()): the run as a whole and each file's turn here,
// the flows of a turn (create, append) in ImportStepsFlows.cpp. With several jobs, the next
// files of the list are read ahead while a file has its turn, and sent ahead when they can go
// over connections of their own (SentAhead), as many files at once as there are jobs; their
// turns then show what was sent.
class ImportSteps {
public:
    ImportSteps(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                std::optional<Connection> opened, std::unique_ptr<FileReadAhead> first,
                std::unique_ptr<OpenedAhead> lanes = nullptr);

    // Whether a run of the choices, whose files the ranges tell of, opens further connections
    // for files in ranges.
    static bool opensLanes(const ImportChoices& choices, const RangeChoice& ranges) {
        return choices.jobs >= 2 && !choices.rowByRow &&
               ranges.anyInRangesFrom(choices.rangesFrom());
    }

    ImportResult execute() {
        ImportResult result = steps();
        result.errorsReported = m_ui.errors();
        result.filesPassedOver = m_ui.filesPassedOver();
        return result;
    }

private:
    enum class Turn { Next, EndRun };

    // The numbered steps of the data-line loop of each flow.
    static constexpr DataLineLoop::Steps FirstLineLoop{196, 198, 202, 204, 206, 208, 228};
    static constexpr DataLineLoop::Steps TypedLoop{262, 264, 268, 270, 272, 274, 292};
    static constexpr DataLineLoop::Steps AppendLoop{308, 310, 318, 320, 322, 324, 342};
    // The numbered steps that make a new table, fill it and list it, in each create flow.
    struct CreateSteps {
        int statement; // the CREATE TABLE statement is built
        int create;    // it is sent
        DataLineLoop::Steps loop;
        int list; // the name goes to the top of the table list
    };
    static constexpr CreateSteps FirstLineCreate{186, 190, FirstLineLoop, 232};
    static constexpr CreateSteps TypedCreate{252, 256, TypedLoop, 296};

    ImportResult steps();
    void close(const QString& text);
    void handOverReport();
    Turn importFile(int position);
    // The file's connection begun, unless the file was sent ahead over one of its own.
    void beginConnection();
    // Reads the next files ahead, and sends them ahead where they can go.
    void readNextAhead(int position);
    // Starts reading the file at the position ahead, to be sent ahead where it can go.
    void sendAhead(int position);
    void openLanesAhead();
    // After a stop: whether the file at the position was sent ahead, so that its turn still
    // comes to show what it sent; no file begins to be sent ahead after it.
    bool drainsAhead(int position);
    void endTurn();
    // The connection of the file at the position when it is sent ahead: no two of the files
    // in flight at once share one.
    RunConnection& aheadConnection(int position) {
        return *m_aheadConnections[static_cast<std::size_t>(position) % m_aheadConnections.size()];
    }
    void closeConnections();
    void createFlow(int position);
    void firstLineFlow(const QString& name);
    void typedFlow(const QString& name);
    void appendFlow();
    void sendDataLines(const QString& table, const DataLineLoop::Steps& steps,
                       const ColumnTargets& targets);
    // Plans, makes, fills and lists the new table of these columns, by the flow's steps.
    void createAndFill(const QString& name, const QStringList& columns, const CreateSteps& steps);
    // Makes the new table by the statement at the step; false, the file passed over with a
    // message or the run stopped, when it was not made.
    bool createTable(int step, const QString& name, const QString& statement);
    // The plan for a new table of these columns; false, the file passed over, when the
    // file-name column is one of them.
    bool planCreate(const QStringList& columns, ColumnPlan& plan);
    void listTable(const QString& name);
    void showProgress(qint64 rowsOfFile, int waitingSeconds = 0);
    std::function<bool()> cancelled() {
        return [this] { return m_frontEnd.cancelRequested(); };
    }

    const ImportChoices& m_choices;
    ImportFrontEnd& m_frontEnd;
    ImportReporter m_ui;
    StepRunner m_run;
    ImportResult m_result;
    QStringList m_tables;       // the list of existing tables as it stands during the run
    const RangeChoice m_ranges; // which files may go in ranges
    bool m_complete = false;
    bool m_cancelled = false;

    // The file whose turn it is.
    int m_position = 0;
    QString m_path;
    std::unique_ptr<InputFile> m_file;
    RunConnection m_connection; // handed on from file to file
    bool m_lanesOpened = false; // the lanes' connections began to open (openLanesAhead())
    LanePool m_lanes;           // the further connections of ranges sent side by side
    // Files sent ahead: a connection for each of the files in flight at once, kept from one
    // file to the next, and the stop of their lanes, taken once the run is stopped.
    std::vector<std::unique_ptr<RunConnection>> m_aheadConnections;
    std::atomic<bool> m_aheadStop{false};
    FilesAhead m_ahead;
    std::unique_ptr<SentAhead> m_sentAhead; // the file whose turn it is, when it was
    IntervalCheck m_progressInterval;       // between two progress reports
};
