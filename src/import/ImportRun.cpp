#include "import/ImportRun.h"
#include "import/TableNames.h"
#include "shell/NumberText.h"

#include "database/Connection.h"
#include "import/ColumnPlan.h"
#include "import/DataLineLoop.h"
#include "import/FileIntake.h"
#include "import/FileReadAhead.h"
#include "import/HeaderColumns.h"
#include "import/ImportFrontEnd.h"
#include "import/ImportReporter.h"
#include "import/IntervalCheck.h"
#include "import/ProgressMeter.h"
#include "import/StartChecks.h"
#include "import/StoredTableName.h"
#include "parallel/LanePool.h"
#include "resume/RunConnection.h"
#include "sending/Statements.h"
#include "sending/TableColumns.h"
#include "shell/StepRunner.h"
#include "textfile/InputFile.h"

#include <memory>
#include <optional>

namespace {

const QString Context = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click ");
const QString NotOpen = QStringLiteral("The connection is not open.");
constexpr qint64 ProgressIntervalMs = 200;

// The numbered steps of the data-line loop of each flow.
constexpr DataLineLoop::Steps FirstLineLoop{196, 198, 202, 204, 206, 208, 228};
constexpr DataLineLoop::Steps TypedLoop{262, 264, 268, 270, 272, 274, 292};
constexpr DataLineLoop::Steps AppendLoop{308, 310, 318, 320, 322, 324, 342};

class Run {
public:
    Run(const ImportChoices& choices, ImportFrontEnd& frontEnd, std::optional<Connection> opened)
        : m_choices(choices)
        , m_frontEnd(frontEnd)
        , m_ui(frontEnd, choices.rejectsFolder)
        , m_run(m_ui, Context)
        , m_tables(choices.existingTables)
        , m_file(choices.quotedFields ? FieldRule::Quoted : FieldRule::Plain, choices.separator,
                 choices.detectsTypes()) {
        m_connection.setNoticeReceiver([this](const ServerNotice& n) { m_ui.serverNotice(n); });
        if (choices.jobs > 1) // where a later cut into ranges may fall
            m_file.noteRecordStartsEvery(std::max<qint64>(choices.rangeBytes / 8, 1));
        if (opened)
            m_connection.adopt(std::move(*opened), choices.connection);
    }

    ImportResult execute() {
        ImportResult result = steps();
        result.errorsReported = m_ui.errors();
        result.filesPassedOver = m_ui.filesPassedOver();
        return result;
    }

private:
    enum class Turn { Next, EndRun };

    ImportResult steps();
    void close(const QString& text);
    void handOverReport();
    Turn importFile(int position);
    void createFlow(int position);
    void firstLineFlow(const QString& name);
    void typedFlow(const QString& name);
    void appendFlow();
    void sendDataLines(const QString& table, const DataLineLoop::Steps& steps,
                       const ColumnTargets& targets);
    // The plan for a new table of these columns; false, the file passed over, when the
    // file-name column is one of them.
    bool planCreate(const QStringList& columns, ColumnPlan& plan);
    void listTable(const QString& name);
    void showProgress(qint64 rowsOfFile, int waitingSeconds = 0);
    Connection& connection();
    std::function<bool()> cancelled() {
        return [this] { return m_frontEnd.cancelRequested(); };
    }

    const ImportChoices& m_choices;
    ImportFrontEnd& m_frontEnd;
    ImportReporter m_ui;
    StepRunner m_run;
    ImportResult m_result;
    QStringList m_tables; // the list of existing tables as it stands during the run
    bool m_complete = false;
    bool m_cancelled = false;

    // The file whose turn it is.
    int m_position = 0;
    QString m_path;
    InputFile m_file;
    RunConnection m_connection; // handed on from file to file
    LanePool m_lanes;           // the further connections of ranges sent side by side
    FileReadAhead m_ahead{m_file.rule(), m_choices.separator,
                          std::max<qint64>(m_choices.rangeBytes / 8, 1), m_choices.detectsTypes()};
    IntervalCheck m_progressInterval{ProgressIntervalMs}; // between two progress reports
};

ImportResult Run::steps() {
    m_run.begin(100); // the connection and the query result are created per file
    m_run.begin(102);
    m_run.step(104, [&] { m_complete = false; });

    if (!passStartChecks(m_choices, m_tables, m_run, m_ui))
        return m_result;

    m_run.begin(112);
    const int count = static_cast<int>(m_choices.files.size());
    m_result.filesListed = count;
    for (int position = 1; position <= count; ++position) {
        if (m_frontEnd.cancelRequested()) {
            m_cancelled = true;
            break;
        }
        if (importFile(position) == Turn::EndRun) {
            m_result.outcome = ImportOutcome::StoppedByFieldCount;
            handOverReport(); // what earlier files left out is not lost with the run
            return m_result;
        }
        if (m_cancelled)
            break;
        m_run.begin(352);
    }
    m_connection.close(); // nothing stays open once the run is over
    m_lanes.close();
    if (m_cancelled) {
        m_result.outcome = ImportOutcome::Cancelled;
        // Counted as the progress row counts them, so the two never disagree in form.
        close(QStringLiteral("Import stopped. %1 file(s) and %2 row(s) were imported.")
                  .arg(groupedCount(m_result.filesImported), groupedCount(m_result.rowsSent)));
        return m_result;
    }

    if (m_run.test(354, [&] { return m_complete; })) {
        m_result.outcome = ImportOutcome::Done;
        m_run.step(356, [&] { close(QStringLiteral("Done.")); });
    } else {
        m_result.outcome = ImportOutcome::TablesExisted;
        m_run.step(358, [&] { close(QStringLiteral("Table(s) already exist.")); });
    }
    return m_result;
}

// The closing message, handed to the front end with the outcome and the counts so far.
void Run::close(const QString& text) {
    m_result.errorsReported = m_ui.errors();
    m_result.filesPassedOver = m_ui.filesPassedOver();
    m_frontEnd.closing(m_result, text);
    handOverReport();
}

void Run::handOverReport() {
    m_frontEnd.runReport(
        m_ui.finishReport(m_result.filesImported, m_result.filesListed, m_result.rowsSent));
}

Run::Turn Run::importFile(int position) {
    m_position = position;
    m_ui.beginFile(position, m_choices.files.value(position - 1));
    m_run.step(114, [&] { m_complete = true; });
    m_run.step(116, [&] { m_frontEnd.setBusy(true); });
    m_run.begin(118);
    m_connection.end();
    m_run.step(120, [&] { m_connection.begin(m_choices.connection).setStopCheck(cancelled()); });
    m_path.clear();
    m_run.step(122, [&] { m_path = m_choices.files.at(position - 1); });
    showProgress(0);

    // A file that can't be read, or gives no columns, is passed over; a stop while a pipe's
    // writer is awaited ends the run, as does the field-count report.
    m_file.close();
    const FileIntake::Outcome intake =
        FileIntake(m_run, m_ui, m_frontEnd).take(m_file, m_path, cancelled(), m_ahead.take(m_path));
    if (intake == FileIntake::Outcome::Send && m_choices.jobs > 1 &&
        position < m_result.filesListed)
        m_ahead.start(m_choices.files.at(position)); // the next file, while this one is sent
    m_cancelled = intake == FileIntake::Outcome::Stopped;
    if (m_cancelled || intake == FileIntake::Outcome::EndRun) {
        m_run.step(140, [&] { m_frontEnd.setBusy(false); });
        m_connection.close();
        m_lanes.close();
        m_file.close();
        m_ui.endFile();
        return m_cancelled ? Turn::Next : Turn::EndRun;
    }

    if (intake == FileIntake::Outcome::Send) {
        m_run.begin(142); // the data lines are read as they are sent
        if (m_run.test(162, [&] { return m_choices.mode == ImportChoices::TableMode::Create; }))
            createFlow(position);
        else if (m_run.test(300,
                            [&] { return m_choices.mode == ImportChoices::TableMode::Append; }))
            appendFlow();
    }

    // Before the file is closed: it gives the rejected lines.
    m_ui.keepRejected(m_file, !m_choices.sendsFirstLine());
    m_run.step(348, [&] {
        m_connection.end();
        m_lanes.end();
        m_file.close();
    });
    m_run.step(350, [&] { m_frontEnd.setBusy(false); });
    showProgress(0);
    m_ui.endFile();
    return Turn::Next;
}

void Run::createFlow(int position) {
    QString name;
    if (m_run.test(164, [&] {
            name = ExpandTableName(m_choices.tableTemplate, position);
            return StoredTableName(name).isListedIn(m_tables);
        })) {
        m_run.step(298, [&] { m_complete = false; });
        m_ui.tableAlreadyListed(name);
        return;
    }
    if (m_run.test(166, [&] { return m_choices.tableTemplate.isEmpty(); })) {
        m_ui.templateEmpty();
        return;
    }
    if (m_run.test(168, [&] { return m_choices.names == ImportChoices::ColumnNames::FirstLine; }))
        firstLineFlow(name);
    else if (m_run.test(234, [&] { return m_choices.names == ImportChoices::ColumnNames::Typed; }))
        typedFlow(name);
}

void Run::firstLineFlow(const QString& name) {
    QStringList header;
    m_run.step(170, [&] { header = m_file.header(); });
    HeaderColumns columns{QStringList()};
    m_run.begin(172);
    m_run.step(174, [&] { columns = HeaderColumns(header); });
    // Checked before the table is made: the server would refuse the names, or make a table
    // with fewer columns than the file's lines have fields.
    if (!columns.problem().isEmpty()) {
        m_ui.unusableHeader(columns.problem());
        return;
    }
    ColumnPlan plan;
    if (!planCreate(columns.names(), plan))
        return;
    QString statement;
    m_run.step(186, [&] { statement = plan.createTableStatement(name); });
    if (!m_run.step(190, [&] { connection().queryOne(statement); })) {
        m_ui.tableNotCreated(name);
        return;
    }
    // A made name is never a path.
    sendDataLines(quoteIdentifier(name), FirstLineLoop, plan.targets());
    m_run.step(232, [&] { listTable(name); });
}

void Run::typedFlow(const QString& name) {
    const qsizetype count = m_run.value(
        236, [&] { return m_file.header().size(); }, qsizetype(0));
    QStringList columns;
    bool endedOnEmpty = false;
    m_run.begin(240);
    for (qsizetype k = 1; k <= count; ++k) {
        const QString answer = m_run.value(
            242,
            [&] {
                return m_frontEnd.inputText(QStringLiteral("Enter name for column #") +
                                                QString::number(k) + QLatin1Char(':'),
                                            QString());
            },
            QString());
        QString column;
        m_run.step(244, [&] { column = LettersAndDigitsOnly(answer); });
        if (m_run.test(246, [&] { return answer.isEmpty(); })) {
            m_run.begin(248);
            endedOnEmpty = true;
            m_ui.columnNameMissing(k);
            break;
        }
        columns.append(column);
    }
    // Without a full set of names there is no table: the file is passed over, its rows unsent
    // and its name not listed, rather than sending rows that could only be rejected.
    if (m_run.test(238, [&] { return endedOnEmpty; }))
        return;
    ColumnPlan plan;
    if (!planCreate(columns, plan))
        return;
    QString statement;
    m_run.step(252, [&] { statement = plan.createTableStatement(name); });
    if (!m_run.step(256, [&] { connection().queryOne(statement); })) {
        m_ui.tableNotCreated(name);
        return;
    }
    sendDataLines(quoteIdentifier(name), TypedLoop, plan.targets());
    m_run.step(296, [&] { listTable(name); });
}

void Run::appendFlow() {
    const QString table = m_choices.existingTables.value(m_choices.selectedTable);
    // From the catalogue: a role that may only insert into the table learns its columns too.
    QStringList columns;
    m_run.step(302, [&] {
        m_connection.reconnectingOnce(
            cancelled(), [&](Connection& open) { columns = readTableColumns(open, table); });
    });
    const bool noColumns = columns.isEmpty();
    Connection* c = m_connection.current();
    if (((c && c->stopTaken()) || (noColumns && m_frontEnd.cancelRequested())) &&
        (m_cancelled = true))
        return; // the query was stopped, or the wait for the server, not answered
    QStringList header;
    m_run.step(304, [&] { header = m_file.header(); });
    const ColumnPlan plan = ColumnPlan::forAppend({m_choices.matchNames, m_choices.fileColumn},
                                                  header, columns, m_path);
    if (!plan.problem().isEmpty()) {
        m_ui.columnsUnplanned(plan.problem());
        return;
    }
    if (plan.namesReordered() && !m_choices.sendsFirstLine())
        m_frontEnd.namesInAnotherOrder(m_path, table);
    if (m_run.test(306, [&] { return plan.countsAgree(); })) {
        sendDataLines(table, AppendLoop, plan.targets());
        return;
    }
    m_run.step(346, [&] {
        m_ui.columnCountsDiffer(m_choices.separator, header.size(), table,
                                static_cast<int>(plan.columnsForFields()));
    });
}

bool Run::planCreate(const QStringList& columns, ColumnPlan& plan) {
    plan = ColumnPlan::forCreate(m_choices.fileColumn, columns, m_path, m_file.columnTypes());
    if (plan.problem().isEmpty())
        return true;
    m_ui.columnsUnplanned(plan.problem());
    return false;
}

void Run::sendDataLines(const QString& table, const DataLineLoop::Steps& steps,
                        const ColumnTargets& targets) {
    DataLineLoop loop(
        {m_run, m_ui, m_frontEnd, m_file, m_connection, m_choices, m_path, m_progressInterval,
         [this](qint64 rows, int seconds) { showProgress(rows, seconds); }, &m_lanes});
    const DataLineLoop::Outcome outcome = loop.send(table, steps, targets);
    m_result.rowsSent += outcome.rowsSent;
    m_cancelled = m_cancelled || outcome.cancelled;
    if (m_cancelled)
        return;
    if (outcome.withoutSeparator == 0 && outcome.allSent && !m_file.brokenOff())
        ++m_result.filesImported;
    else
        m_ui.linesWithoutSeparator(outcome.withoutSeparator, outcome.handedOver == 0,
                                   m_choices.separator);
}

void Run::listTable(const QString& name) {
    const QString stored = StoredTableName(name).text();
    m_tables.prepend(stored);
    m_frontEnd.tableListed(stored);
}

void Run::showProgress(qint64 rowsOfFile, int waitingSeconds) {
    m_progressInterval.restart();
    ImportProgress progress;
    progress.file = m_position;
    progress.files = static_cast<int>(m_choices.files.size());
    progress.path = m_path;
    progress.rowsSent = m_result.rowsSent + rowsOfFile;
    progress.waitingSeconds = waitingSeconds;
    m_frontEnd.progress(progress);
}

Connection& Run::connection() {
    Connection* open = m_connection.current();
    if (!open || !open->isOpen())
        throw Failure(NotOpen);
    return *open;
}

} // namespace

ImportResult runImportOver(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                           std::optional<Connection> opened) {
    Run run(choices, frontEnd, std::move(opened));
    try {
        return run.execute();
    } catch (...) {
        // Every step catches its own failures; this only guards the promise never to throw.
        ImportResult result;
        result.errorsReported = 1;
        return result;
    }
}
