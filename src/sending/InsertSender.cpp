#include "sending/InsertSender.h"

#include "database/Connection.h"
#include "textfile/RecordReader.h"

#include <limits>

namespace {

// Bounds on what is sent but not yet answered: enough to keep the server busy, small enough
// that memory stays bounded by the longest line.
constexpr std::size_t MaxPendingStatements = 1000;
constexpr qsizetype MaxPendingBytes = 8 << 20;

} // namespace

InsertSender::InsertSender(Connection& connection, RowStatements statements, Rejected rejected)
    : m_connection(connection)
    , m_statements(std::move(statements))
    , m_rejected(std::move(rejected)) {
    if (!m_connection.isOpen()) {
        m_broken = QStringLiteral("The connection is not open.");
        return;
    }
    if (!m_connection.isBroken()) {
        // A server that waits (for a lock) when a stop gives the connection up then notices
        // soon that it is gone, and runs none of the statements still queued (servers before
        // 14 don't know the setting and refuse it).
        m_connection.run("SET client_connection_check_interval = 250");
        m_pipeline.emplace(m_connection);
        if (m_pipeline->entered())
            return;
        m_pipeline.reset();
    }
    // A connection that broke before the first statement, even while it was set up here (its
    // backend ended meanwhile), is lost like one that breaks later: the lines go again over a
    // new one. Only one that is whole and still refuses the pipeline rejects them.
    m_lost = m_connection.isBroken();
    if (!m_lost)
        m_broken = m_connection.lastError();
}

InsertSender::~InsertSender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

std::optional<LostConnection> InsertSender::lostConnection() const {
    if (!m_lost)
        return std::nullopt;
    LostConnection lost;
    for (const Pending& entry : m_pending) {
        lost.notCommitted.push_back(entry.lineIndex);
        // Even an error read for the head may belong to a later statement: the server's last
        // message (the reason it ended) comes after the answers it did not send.
        if (entry.bytes == 0)
            continue;
        if (lost.unanswered.first < 0)
            lost.unanswered.first = entry.lineIndex;
        lost.unanswered.second = entry.lineIndex;
    }
    return lost;
}

void InsertSender::send(const Record& record) {
    if (m_lost) {
        // Kept among the lines not committed, for the sender over the next connection.
        Pending entry;
        entry.lineIndex = record.line;
        m_pending.push_back(std::move(entry));
        return;
    }
    if (m_stopped || m_refusal)
        return;
    const RowStatements::Made made = m_statements.make(record);
    if (made.statement.isEmpty())
        return rejectHere(record.line, made.rejection);
    sendStatement(record.line, made.statement);
}

void InsertSender::rejectHere(qint64 lineIndex, const QString& description) {
    Pending entry;
    entry.lineIndex = lineIndex;
    entry.local = true;
    entry.error = description;
    m_pending.push_back(std::move(entry));
    drain(MaxPendingStatements, MaxPendingBytes);
}

// Sends the statement, unless the connection is already lost.
void InsertSender::sendStatement(qint64 lineIndex, const QByteArray& statement) {
    if (!m_broken.isEmpty())
        return rejectHere(lineIndex, m_broken);
    Pending entry;
    entry.lineIndex = lineIndex;
    if (!m_pipeline->send(statement)) {
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
    if (m_pipeline)
        m_pipeline->leave();
    m_pipeline.reset();
}

// Reports entries at the head of the queue that were rejected without being sent.
void InsertSender::settleLocalHead() {
    while (!m_pending.empty() && m_pending.front().local) {
        const Pending entry = std::move(m_pending.front());
        m_pending.pop_front();
        if (!refusedAt(entry))
            m_rejected({entry.lineIndex, entry.error, {}});
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
    if (m_connection.isBroken()) {
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
    if (!m_pipeline)
        return false;
    bool settled = false;
    bool ended = false; // the last answer taken ended a statement's results
    for (;;) {
        settleLocalHead();
        if (m_pending.empty() || !m_pipeline->answerWaiting())
            break;
        const Pipeline::Answer answer = m_pipeline->take();
        if (answer.kind == Pipeline::Answer::Kind::End) {
            // The end of one statement's results; the sync's answer follows. Without an
            // answered head there is nothing more to take now. Two ends in a row: nothing more
            // is in (a connection that broke has no sync to follow).
            if (!m_pending.front().answered || ended)
                break;
            ended = true;
            continue;
        }
        ended = false;
        if (answer.kind == Pipeline::Answer::Kind::Sync) {
            settled = true;
            if (!settleHead())
                break;
            continue;
        }
        Pending& head = m_pending.front();
        if (answer.failed && head.error.isEmpty()) {
            head.error = answer.error;
            head.sqlState = answer.sqlState;
            head.words = answer.words;
            head.source = answer.source;
        }
        head.answered = true;
    }
    return settled;
}

// The sync point of the head's statement: the statement went in or was rejected. False when a
// stop was taken meanwhile, and nothing more is to be read.
bool InsertSender::settleHead() {
    const Pending entry = std::move(m_pending.front());
    m_pending.pop_front();
    m_pendingBytes -= entry.bytes;
    if (entry.error.isEmpty())
        ++m_accepted;
    else if (stopTaken())
        return false;
    else if (!refusedAt(entry))
        m_rejected({entry.lineIndex, entry.error, QString::fromLatin1(entry.sqlState)});
    return true;
}

// Whether the rejected entry is left unreported: it refused the table, or came after the answer
// that did. Counts it as not sent.
bool InsertSender::refusedAt(const Pending& entry) {
    if (!m_refusal && !TableRefusal::belongsToTable(entry.sqlState, entry.source))
        return false;
    if (!m_refusal)
        m_refusal = TableRefusal{entry.lineIndex, entry.words, 0};
    ++m_refusal->notSent;
    return true;
}

void InsertSender::drain(std::size_t maxPending, qsizetype maxBytes) {
    for (;;) {
        settleLocalHead();
        if (m_pending.size() <= maxPending && m_pendingBytes <= maxBytes)
            return;
        if (m_stopped || m_lost)
            return;
        if (!m_broken.isEmpty() || !m_pipeline) {
            breakConnection(m_broken);
            continue; // everything left is local now
        }
        const int flushed = m_pipeline->flush();
        if (flushed < 0 || !m_pipeline->consume()) {
            breakConnection(m_connection.lastError());
            continue;
        }
        if (readAnswers())
            continue;
        if (m_pending.size() <= maxPending && m_pendingBytes <= maxBytes)
            return;
        if (!m_connection.awaitSocket(flushed == 1)) {
            m_pipeline->consume();
            breakConnection(m_connection.lastError());
        }
    }
}
