#include "sending/GroupedInsertSender.h"

#include "database/Connection.h"
#include "sending/TableTreeSql.h"
#include "textfile/RecordReader.h"

#include <algorithm>
#include <utility>

namespace {

// 't' where lines may go in groups: nothing in the table's tree is a foreign table (whose
// server commits on its own terms), and no constraint or trigger waits for the commit (a
// deferred check sees the whole group, where one autocommitted INSERT is checked alone).
const char* const SuitsQuery = TABLE_TREE_SQL R"SQL(
SELECT NOT EXISTS (SELECT 1 FROM pg_class c JOIN tree USING (oid) WHERE c.relkind = 'f')
   AND NOT EXISTS (SELECT 1 FROM pg_trigger g JOIN tree ON g.tgrelid = tree.oid
                   WHERE g.tginitdeferred)
   AND NOT EXISTS (SELECT 1 FROM pg_constraint k JOIN tree ON k.conrelid = tree.oid
                   WHERE k.condeferred)
)SQL";

const QByteArray Savepoint = QByteArrayLiteral("SAVEPOINT quenmarl_row");
const QByteArray RollBackTo = QByteArrayLiteral("ROLLBACK TO SAVEPOINT quenmarl_row");
// Kept by the session once the group's transaction commits.
const QByteArray CheckInterval = QByteArrayLiteral("SET client_connection_check_interval = 250");

} // namespace

bool GroupedInsertSender::suits(Connection& connection, const QString& table) {
    const Result answer = connection.runWithValues(SuitsQuery, {table.toUtf8()});
    return answer.succeeded() && answer.rowCount() == 1 && answer.value(0, 0) == QLatin1String("t");
}

GroupedInsertSender::GroupedInsertSender(Connection& connection, RowStatements statements,
                                         Rejected rejected, Options options)
    : m_connection(connection)
    , m_statements(std::move(statements))
    , m_rejected(std::move(rejected))
    , m_options(std::move(options))
    , m_transaction(connection) {
    m_options.groupLines = std::max<qsizetype>(m_options.groupLines, 1);
    if (m_options.markersLeft)
        m_transaction.adoptMarkers(std::exchange(*m_options.markersLeft, {}));
    // As InsertSender: a server that waits for a lock when a stop gives the connection up
    // notices soon that it is gone. The setting rides with the first group, in its round trip;
    // servers before 14 don't know it.
    m_checkIntervalDue = m_connection.serverVersion() >= 140000;
}

GroupedInsertSender::~GroupedInsertSender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

void GroupedInsertSender::send(const Record& record) {
    if (m_lost) {
        m_afterLoss.push_back(record.line); // for the sender over the next connection
        return;
    }
    if (m_stopped || m_refusal || m_finished)
        return;
    RowStatements::Made made = m_statements.make(record);
    if (made.statement.isEmpty())
        m_held.push_back({record.line, made.rejection, {}});
    m_groupBytes += made.statement.size();
    m_group.push_back({record.line, std::move(made.statement)});
    if (qsizetype(m_group.size()) >= m_options.groupLines || m_groupBytes >= m_options.groupBytes)
        sendGroup();
}

void GroupedInsertSender::finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (!m_lost && !m_stopped && !m_group.empty())
        sendGroup();
    if (m_lost) // lostConnection() hands the markers over
        return;
    if (m_options.markersLeft)
        *m_options.markersLeft += m_transaction.takeMarkers();
    else
        m_transaction.removeMarkers();
}

// Sends the lines gathered and commits them, a segment at a time, until each is in or rejected,
// or the connection was lost or a stop taken.
void GroupedInsertSender::sendGroup() {
    if (m_options.stopRequested && m_options.stopRequested()) {
        m_stopped = true;
        return dropGroup();
    }
    m_next = 0;
    const bool anyStatement = std::any_of(
        m_group.begin(), m_group.end(), [](const Line& line) { return !line.statement.isEmpty(); });
    if (!anyStatement)
        return groupCommitted(); // only lines rejected here
    while (!m_lost && !m_stopped && settleSegment(runSegment())) {
    }
}

GroupedInsertSender::Segment GroupedInsertSender::runSegment() {
    Segment segment;
    Pipeline pipeline(m_connection);
    if (pipeline.entered() && queueSegment(pipeline, segment))
        readSegment(pipeline, segment);
    pipeline.leave();
    return segment;
}

// The statements for the lines of the group from m_next on: the opening of its transaction, or
// the take-back of the line that failed in it, then each line behind a savepoint, then COMMIT,
// all before one sync point.
bool GroupedInsertSender::queueSegment(Pipeline& pipeline, Segment& segment) {
    const auto queue = [&](Step step, const QByteArray& statement) {
        segment.steps.push_back(step);
        return pipeline.queue(statement);
    };
    bool queued = true;
    if (!m_transaction.open()) {
        queued = queue(Step::Begin, QByteArrayLiteral("BEGIN")) &&
                 queue(Step::Opening, m_transaction.openingStatement());
        if (std::exchange(m_checkIntervalDue, false))
            queued = queued && queue(Step::Setting, CheckInterval);
    } else if (std::exchange(m_rollBackFirst, false)) {
        queued = queue(Step::RollBackTo, RollBackTo);
    }
    for (qsizetype line = m_next; queued && line < qsizetype(m_group.size()); ++line) {
        if (m_group[line].statement.isEmpty())
            continue;
        segment.lines.push_back(line);
        queued = queue(Step::Savepoint, Savepoint) && queue(Step::Insert, m_group[line].statement);
    }
    queued = queued && queue(Step::Commit, QByteArrayLiteral("COMMIT")) && pipeline.sync();
    m_commitInFlight = queued;
    return queued;
}

// Reads the segment's answers up to its sync point, waiting for the server.
void GroupedInsertSender::readSegment(Pipeline& pipeline, Segment& segment) {
    bool ended = false; // the last answer taken ended a statement's results
    for (;;) {
        const int flushed = pipeline.flush();
        if (flushed < 0 || !pipeline.consume())
            return;
        while (pipeline.answerWaiting()) {
            Pipeline::Answer answer = pipeline.take();
            if (answer.kind == Pipeline::Answer::Kind::Sync) {
                segment.complete = true;
                return;
            }
            if (answer.kind == Pipeline::Answer::Kind::End) {
                if (std::exchange(ended, true))
                    return; // nothing more comes: the connection broke
                continue;
            }
            ended = false;
            segment.answers.push_back(std::move(answer));
        }
        if (!m_connection.awaitSocket(flushed == 1)) {
            pipeline.consume();
            return;
        }
    }
}

// Takes in the answers of a segment; false when the group needs no further segment.
bool GroupedInsertSender::settleSegment(const Segment& segment) {
    if (segment.complete) {
        m_commitInFlight = false;
    } else if (m_connection.stopTaken()) {
        return abandon(), false;
    } else if (m_connection.isBroken() || !segment.steps.empty()) {
        // Sent at least in part and not answered whole, on a connection that can't be trusted
        // any more: the lines go again over a new one.
        if (!m_connection.isBroken())
            m_connection.giveUp();
        return m_lost = true, false;
    }
    std::size_t inserts = 0;
    for (std::size_t i = 0; segment.complete && i < segment.answers.size(); ++i) {
        const Pipeline::Answer& answer = segment.answers[i];
        if (answer.failed)
            return settleFailure(segment, i, inserts);
        if (segment.steps[i] == Step::Opening)
            m_transaction.noteOpening(answer.row);
        if (segment.steps[i] == Step::Insert)
            ++inserts;
    }
    const bool committed = segment.complete && segment.answers.size() == segment.steps.size() &&
                           segment.answers.back().tag == QLatin1String("COMMIT");
    if (!committed) {
        sendEachOnItsOwn(); // the pipeline could not be entered
        return false;
    }
    m_acceptedInGroup += qint64(inserts);
    groupCommitted();
    return false;
}

// The first failure of a segment, its statement failed, after inserts lines went in: a line
// rejected (the group goes on behind it), markers refused (the group starts again without
// them), or the group's transaction failed as a whole.
bool GroupedInsertSender::settleFailure(const Segment& segment, std::size_t failed,
                                        std::size_t inserts) {
    if (m_connection.stopTaken())
        return abandon(), false;
    m_acceptedInGroup += qint64(inserts);
    const Step step = segment.steps[failed];
    if (step == Step::Insert) {
        rejectLine(segment.lines[inserts], segment.answers[failed]);
        return true;
    }
    if (step == Step::Opening && m_transaction.reopenAfterFailedBegin()) {
        m_next = 0;
        m_acceptedInGroup = 0;
        m_checkIntervalDue = m_connection.serverVersion() >= 140000; // it was rolled back
        return true;
    }
    sendEachOnItsOwn();
    return false;
}

// The server rejected a line of the group: the next segment takes it back first. A rejection
// that refuses the table ends the file's lines at it; those before it are still committed.
void GroupedInsertSender::rejectLine(qsizetype line, const Pipeline::Answer& answer) {
    m_rollBackFirst = true;
    const qint64 index = m_group[line].index;
    if (TableRefusal::belongsToTable(answer.sqlState, answer.source)) {
        std::erase_if(m_held, [index](const LineRejection& held) { return held.line >= index; });
        m_refusal = TableRefusal{index, answer.words, qint64(m_group.size()) - line};
        m_group.resize(line);
        m_next = line;
        return;
    }
    m_held.push_back({index, answer.error, QString::fromLatin1(answer.sqlState)});
    m_next = line + 1;
}
