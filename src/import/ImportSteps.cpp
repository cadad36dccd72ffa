#include "import/ImportSteps.h"

#include "import/FileIntake.h"
#include "import/StartChecks.h"
#include "import/TableNames.h"
#include "shell/NumberText.h"

namespace {

const QString Context = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click ");
constexpr qint64 ProgressIntervalMs = 200;

} // namespace

ImportSteps::ImportSteps(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                         std::optional<Connection> opened, std::unique_ptr<FileReadAhead> first,
                         std::unique_ptr<OpenedAhead> lanes)
    : m_choices(choices)
    , m_frontEnd(frontEnd)
    , m_ui(frontEnd, choices.rejectsFolder)
    , m_run(m_ui, Context)
    , m_tables(choices.existingTables)
    , m_ranges(choices.files, choices.jobs)
    , m_file(FileReadAhead::Reading::of(choices, true).inputFile())
    , m_ahead(FileReadAhead::Reading::of(choices, false))
    , m_progressInterval(ProgressIntervalMs) {
    m_connection.setNoticeReceiver([this](const ServerNotice& n) { m_ui.serverNotice(n); });
    if (opened)
        m_connection.adopt(std::move(*opened), choices.connection);
    for (int k = 0; k < choices.jobs && choices.jobs > 1; ++k)
        m_aheadConnections.push_back(std::make_unique<RunConnection>());
    if (first)
        m_ahead.adopt(1, std::move(first));
    m_lanesOpened = lanes != nullptr;
    m_lanes.adoptOpening(std::move(lanes));
}

ImportResult ImportSteps::steps() {
    m_run.begin(100); // the connection and the query result are created per file
    m_run.begin(102);
    m_run.step(104, [&] { m_complete = false; });

    if (!passStartChecks(m_choices, m_tables, m_run, m_ui))
        return m_result;

    m_run.begin(112);
    const int count = static_cast<int>(m_choices.files.size());
    m_result.filesListed = count;
    for (int position = 1; position <= count; ++position) {
        m_cancelled = m_cancelled || m_frontEnd.cancelRequested();
        if (m_cancelled && !drainsAhead(position))
            break;
        if (importFile(position) == Turn::EndRun) {
            m_result.outcome = ImportOutcome::StoppedByFieldCount;
            handOverReport(); // what earlier files left out is not lost with the run
            return m_result;
        }
        if (!m_cancelled)
            m_run.begin(352);
    }
    closeConnections(); // nothing stays open once the run is over
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
void ImportSteps::close(const QString& text) {
    m_result.errorsReported = m_ui.errors();
    m_result.filesPassedOver = m_ui.filesPassedOver();
    m_frontEnd.closing(m_result, text);
    handOverReport();
}

void ImportSteps::handOverReport() {
    m_frontEnd.runReport(
        m_ui.finishReport(m_result.filesImported, m_result.filesListed, m_result.rowsSent));
}

ImportSteps::Turn ImportSteps::importFile(int position) {
    m_position = position;
    m_ui.beginFile(position, m_choices.files.value(position - 1));
    m_run.step(114, [&] { m_complete = true; });
    m_run.step(116, [&] { m_frontEnd.setBusy(true); });
    m_run.begin(118);
    m_path.clear();
    m_run.step(122, [&] { m_path = m_choices.files.at(position - 1); });
    showProgress(0);
    openLanesAhead(); // over the connection the run was handed, while its file is read ahead
    // A stop while the file read ahead is awaited stops its sending too.
    std::optional<FileReadAhead::Ready> ahead = m_ahead.take(position, m_path, [this] {
        if (m_frontEnd.cancelRequested())
            m_aheadStop = true;
        return m_aheadStop.load();
    });
    if (ahead)
        m_sentAhead = std::move(ahead->sent);
    beginConnection();
    openLanesAhead();

    // A file that can't be read, or gives no columns, is passed over; a stop while a pipe's
    // writer is awaited ends the run, as does the field-count report.
    m_file->close();
    const FileIntake::Outcome intake =
        FileIntake(m_run, m_ui, m_frontEnd).take(m_file, m_path, cancelled(), std::move(ahead));
    if (intake == FileIntake::Outcome::Send && !m_cancelled)
        readNextAhead(position);
    m_cancelled = m_cancelled || intake == FileIntake::Outcome::Stopped;
    if (intake == FileIntake::Outcome::Stopped || intake == FileIntake::Outcome::EndRun) {
        m_run.step(140, [&] { m_frontEnd.setBusy(false); });
        closeConnections();
        m_file->close();
        m_ui.endFile();
        return intake == FileIntake::Outcome::Stopped ? Turn::Next : Turn::EndRun;
    }

    if (intake == FileIntake::Outcome::Send) {
        m_run.begin(142); // the data lines are read as they are sent
        if (m_run.test(162, [&] { return m_choices.mode == ImportChoices::TableMode::Create; }))
            createFlow(position);
        else if (m_run.test(300,
                            [&] { return m_choices.mode == ImportChoices::TableMode::Append; }))
            appendFlow();
    }
    endTurn();
    return Turn::Next;
}

void ImportSteps::beginConnection() {
    if (m_sentAhead) {
        m_run.begin(120); // the file went over a connection of its own
        return;
    }
    m_connection.end();
    m_run.step(120, [&] { m_connection.begin(m_choices.connection).setStopCheck(cancelled()); });
}

void ImportSteps::readNextAhead(int position) {
    if (m_choices.jobs < 2 || position >= m_result.filesListed)
        return;
    if (m_file
            ->dataRanges(m_choices.sendsFirstLine(), m_ranges.partsAt(position),
                         m_choices.rangeBytes)
            .size() >= 2) { // the file's ranges take the connections
        if (m_ahead.lastPosition() <= position)
            m_ahead.start(position + 1, m_choices.files.at(position));
        return;
    }
    m_ahead.turnTakesOneConnection();
    const int last = std::min(position + m_choices.jobs - 1, m_result.filesListed);
    for (int next = std::max(m_ahead.lastPosition(), position) + 1; next <= last; ++next)
        sendAhead(next);
}

void ImportSteps::sendAhead(int position) {
    QStringList namesBefore = m_tables; // and every name a file before it may give
    if (m_choices.mode == ImportChoices::TableMode::Create)
        for (int before = 1; before < position; ++before)
            namesBefore.append(ExpandTableName(m_choices.tableTemplate, before));
    const SentAhead::Setup setup{m_choices,
                                 position,
                                 m_ranges.partsAt(position),
                                 m_choices.files.at(position - 1),
                                 namesBefore,
                                 aheadConnection(position),
                                 [this] { return m_aheadStop.load(); },
                                 FirstLineLoop,
                                 AppendLoop};
    m_ahead.start(position, setup.path,
                  [setup](InputFile& file) { return SentAhead::start(setup, file); });
}

// Where a listed file is long enough to go in ranges, the connections of its lanes begin to
// open once the run has its own (a role allowed few connections gives the run's first), while
// the files before it and its own field counts are read; unless the front end began that
// already (openLanesEarly()).
void ImportSteps::openLanesAhead() {
    if (m_lanesOpened || !m_connection.holdsOne())
        return;
    m_lanesOpened = true;
    if (opensLanes(m_choices, m_ranges))
        m_lanes.openAhead(m_choices.connection, m_choices.jobs - 1);
}

bool ImportSteps::drainsAhead(int position) {
    m_aheadStop = true;
    return m_ahead.sentAhead(position, m_choices.files.value(position - 1));
}

void ImportSteps::endTurn() {
    // Before the file is closed: it gives the rejected lines.
    m_ui.keepRejected(*m_file, !m_choices.sendsFirstLine());
    m_run.step(348, [&] {
        m_connection.end();
        m_lanes.end();
        if (m_sentAhead) {
            aheadConnection(m_position).end();
            m_sentAhead.reset();
        }
        m_file->close();
    });
    m_run.step(350, [&] { m_frontEnd.setBusy(false); });
    showProgress(0);
    m_ui.endFile();
}

void ImportSteps::closeConnections() {
    m_ahead.stop();
    m_sentAhead.reset();
    std::vector<RunConnection*> connections{&m_connection};
    for (const std::unique_ptr<RunConnection>& connection : m_aheadConnections)
        connections.push_back(connection.get());
    m_lanes.close(std::move(connections)); // side by side: each removes its markers
}

void ImportSteps::showProgress(qint64 rowsOfFile, int waitingSeconds) {
    m_progressInterval.restart();
    ImportProgress progress;
    progress.file = m_position;
    progress.files = static_cast<int>(m_choices.files.size());
    progress.path = m_path;
    // With the rows of the file sent ahead, so that the count and the rate cover every
    // connection.
    progress.rowsSent = m_result.rowsSent + rowsOfFile + m_ahead.rowsSentAhead();
    progress.waitingSeconds = waitingSeconds;
    m_frontEnd.progress(progress);
}
