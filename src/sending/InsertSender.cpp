#include "sending/InsertSender.h"
#include "textfile/FieldSplitting.h"

#include "database/Connection.h"
#include "sending/Statements.h"

#include <libpq-fe.h>

#include <limits>

namespace {

// Bounds on what is sent but not yet answered: enough to keep the server busy, small enough
// that memory stays bounded by the longest line.
constexpr std::size_t MaxPendingStatements = 1000;
constexpr qsizetype MaxPendingBytes = 8 << 20;

} // namespace

InsertSender::InsertSender(Connection& connection, QString table, QString path, Rejected rejected,
                           FieldRule rule)
    : m_connection(connection)
    , m_table(std::move(table))
    , m_path(std::move(path))
    , m_rejected(std::move(rejected))
    , m_rule(rule)
    , m_utf8Statement(m_table) {
    PGconn* conn = m_connection.handle();
    m_lost = conn && PQstatus(conn) == CONNECTION_BAD;
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        if (!m_lost)
            m_broken =
                conn ? m_connection.lastError() : QStringLiteral("The connection is not open.");
        return;
    }
    // A server that waits (for a lock) when a stop gives the connection up then notices soon
    // that it is gone, and runs none of the statements still queued (servers before 14 don't
    // know the setting and refuse it).
    m_connection.run("SET client_connection_check_interval = 250");
    if (PQsetnonblocking(conn, 1) != 0 || PQenterPipelineMode(conn) != 1) {
        m_broken = m_connection.lastError();
        PQsetnonblocking(conn, 0);
        return;
    }
    m_pipeline = true;
}

InsertSender::~InsertSender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

qint64 InsertSender::firstUncommitted() const {
    return m_pending.empty() ? std::numeric_limits<qint64>::max() : m_pending.front().lineIndex;
}

std::pair<qint64, qint64> InsertSender::unanswered() const {
    if (!m_lost)
        return {-1, -1};
    qint64 first = -1;
    qint64 last = -1;
    for (const Pending& entry : m_pending) {
        // Even an error read for the head may belong to a later statement: the server's last
        // message (the reason it ended) comes after the answers it did not send.
        if (entry.bytes == 0)
            continue;
        if (first < 0)
            first = entry.lineIndex;
        last = entry.lineIndex;
    }
    return {first, last};
}

void InsertSender::send(qint64 lineIndex, const QStringList& fields) {
    if (m_stopped || m_lost)
        return;
    if (holdsNulCharacter(fields))
        return rejectHere(lineIndex, nulCharacterRejection(lineIndex, m_path));
    sendStatement(lineIndex,
                  [&] { return BuildInsertStatement(m_table, fields, m_rule).toUtf8(); });
}

void InsertSender::sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                            qsizetype /*fieldCount*/) {
    if (m_stopped || m_lost)
        return;
    if (m_rule != FieldRule::Plain)
        return send(lineIndex, valuesFromBytes(line, separator, m_rule));
    if (line.contains('\0'))
        return rejectHere(lineIndex, nulCharacterRejection(lineIndex, m_path));
    sendStatement(lineIndex, [&] { return m_utf8Statement.build(line, separator); });
}

void InsertSender::rejectHere(qint64 lineIndex, const QString& description) {
    Pending entry;
    entry.lineIndex = lineIndex;
    entry.local = true;
    entry.error = description;
    m_pending.push_back(std::move(entry));
    drain(MaxPendingStatements, MaxPendingBytes);
}

// Sends the statement that build() makes, unless the connection is already lost.
void InsertSender::sendStatement(qint64 lineIndex, const std::function<QByteArray()>& build) {
    if (!m_broken.isEmpty())
        return rejectHere(lineIndex, m_broken);
    Pending entry;
    entry.lineIndex = lineIndex;
    const QByteArray statement = build();
    PGconn* conn = m_connection.handle();
    if (PQsendQueryParams(conn, statement.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) !=
            1 ||
        PQpipelineSync(conn) != 1) {
        // The statement may or may not have left; either way it can't be answered now.
        breakConnection(m_connection.lastError());
        entry.local = !m_lost; // a lost line stays unanswered, for the resend
        entry.error = m_broken;
    } else {
        entry.bytes = statement.size();
        m_pendingBytes += entry.bytes;
    }
    m_pending.push_back(std::move(entry));
    drain(MaxPendingStatements, MaxPendingBytes);
}

void InsertSender::finish() {
    if (m_finished)
        return;
    m_finished = true;
    drain(0, 0);
    PGconn* conn = m_connection.handle();
    if (m_pipeline && conn) {
        PQexitPipelineMode(conn);
        PQsetnonblocking(conn, 0);
    }
    m_pipeline = false;
}

// Reports entries at the head of the queue that were rejected without being sent.
void InsertSender::settleLocalHead() {
    while (!m_pending.empty() && m_pending.front().local) {
        const Pending entry = std::move(m_pending.front());
        m_pending.pop_front();
        m_rejected(entry.lineIndex, entry.error);
    }
}

// A failure after a stop was taken is the server's answer to the cancel request, and the
// statements queued behind would each wait as long: the connection is given up, and every line
// not answered is left unsent and unreported. What was answered stays counted.
bool InsertSender::stopTaken() {
    if (!m_connection.stopTaken())
        return false;
    if (!m_stopped) {
        m_connection.giveUp();
        m_stopped = true;
        m_pending.clear();
        m_pendingBytes = 0;
    }
    return true;
}

void InsertSender::breakConnection(const QString& description) {
    if (stopTaken() || m_lost)
        return;
    if (PQstatus(m_connection.handle()) == CONNECTION_BAD) {
        // The answers that arrived before the connection broke are still in libpq's buffer:
        // those lines are settled. Every line still unanswered stays, for a resend over a new
        // connection.
        readAnswers();
        m_lost = true;
        return;
    }
    m_broken = description.isEmpty() ? QStringLiteral("The connection to the server was lost.")
                                     : description;
    // Whatever is unanswered will never be: reject it in order.
    for (Pending& entry : m_pending) {
        if (!entry.local) {
            entry.local = true;
            entry.error = m_broken;
            entry.bytes = 0;
        }
    }
    m_pendingBytes = 0;
}

// Takes every answer libpq already holds. Returns whether any entry was settled.
bool InsertSender::readAnswers() {
    PGconn* conn = m_connection.handle();
    bool settled = false;
    bool ended = false; // the last result taken ended a statement's results
    for (;;) {
        settleLocalHead();
        if (m_pending.empty() || PQisBusy(conn))
            break;
        PGresult* result = PQgetResult(conn);
        Pending& head = m_pending.front();
        if (!result) {
            // The end of one statement's results; the sync's answer follows. Without an
            // answered head there is nothing more to take now.
            // Two ends in a row: nothing more is in (a connection that broke has no sync to
            // follow).
            if (!head.answered || ended)
                break;
            ended = true;
            continue;
        }
        ended = false;
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_PIPELINE_SYNC) {
            PQclear(result);
            const Pending entry = std::move(head);
            m_pending.pop_front();
            m_pendingBytes -= entry.bytes;
            settled = true;
            if (entry.error.isEmpty())
                ++m_accepted;
            else if (!stopTaken())
                m_rejected(entry.lineIndex, entry.error);
            else
                break;
            continue;
        }
        if (status == PGRES_FATAL_ERROR || status == PGRES_PIPELINE_ABORTED ||
            status == PGRES_NONFATAL_ERROR || status == PGRES_BAD_RESPONSE) {
            if (head.error.isEmpty())
                head.error = resultError(conn, result);
        }
        head.answered = true;
        PQclear(result);
    }
    return settled;
}

void InsertSender::drain(std::size_t maxPending, qsizetype maxBytes) {
    for (;;) {
        settleLocalHead();
        if (m_pending.size() <= maxPending && m_pendingBytes <= maxBytes)
            return;
        PGconn* conn = m_connection.handle();
        if (m_stopped || m_lost)
            return;
        if (!m_broken.isEmpty() || !conn) {
            breakConnection(m_broken);
            continue; // everything left is local now
        }
        const int flushed = PQflush(conn);
        if (flushed < 0 || PQconsumeInput(conn) != 1) {
            breakConnection(m_connection.lastError());
            continue;
        }
        if (readAnswers())
            continue;
        if (m_pending.size() <= maxPending && m_pendingBytes <= maxBytes)
            return;
        if (!m_connection.awaitSocket(flushed == 1)) {
            PQconsumeInput(conn);
            breakConnection(m_connection.lastError());
        }
    }
}
