#include "sending/copy/RangeSplitter.h"

#include "database/Connection.h"
#include "sending/TableRefusal.h"
#include "sending/copy/ChunkTransaction.h"
#include "sending/copy/CopyStream.h"
#include "sending/copy/EncodedLines.h"
#include "sending/copy/PendingRejections.h"

RangeSplitter::RangeSplitter(Connection& connection, ChunkTransaction& transaction,
                             CopyStream& stream, const EncodedLines& lines,
                             PendingRejections& rejections, Statement insertStatement)
    : m_connection(connection)
    , m_transaction(transaction)
    , m_stream(stream)
    , m_lines(lines)
    , m_rejections(rejections)
    , m_insertStatement(std::move(insertStatement)) {}

qsizetype RangeSplitter::settleFailedCopy(qsizetype begin, qsizetype end) {
    reset();
    m_transaction.attemptFailed();
    const qsizetype named = sendUpToNamed(begin, end, m_stream.failedLine());
    if (named >= 0)
        return named + 1;
    sendRange(begin, end, true);
    return end;
}

// Sends lines [begin, end) in order; true when the server took all of them. knownToFail: the
// range as a whole was just rejected in this very state, so only its halves are tried.
bool RangeSplitter::sendRange(qsizetype begin, qsizetype end, bool knownToFail) {
    if (m_broken || m_stopped || m_refusal)
        return false;
    // Lines set aside go on their own after the chunk's pieces, not here.
    const qsizetype carried = m_lines.carried(begin, end);
    if (carried == 0)
        return true;
    if (carried == 1)
        return sendLineAlone(m_lines.carriedAt(begin, 1));
    if (!knownToFail) {
        if (copyRange(begin, end))
            return true;
        const qsizetype named = sendUpToNamed(begin, end, m_stream.failedLine());
        if (named >= 0) {
            if (named + 1 < end)
                sendRange(named + 1, end, false);
            return false;
        }
    }
    const qsizetype middle = begin + (end - begin) / 2;
    const bool leftIn = sendRange(begin, middle, false);
    // With the left half in, the right half meets the state in which the whole failed, so
    // it fails again by itself: go straight to its halves.
    sendRange(middle, end, leftIn);
    return false;
}

// After a COPY of lines [begin, end) failed at the line its error names (failedLine, from 1):
// the lines before it went in when it was tried, so they are sent again, then that line alone.
// Returns that line, or -1 when the error names none of them.
qsizetype RangeSplitter::sendUpToNamed(qsizetype begin, qsizetype end, qsizetype failedLine) {
    const qsizetype named = failedLine > 0 ? m_lines.carriedAt(begin, failedLine) : -1;
    if (named < begin || named >= end)
        return -1;
    if (named > begin)
        sendRange(begin, named, false);
    if (!m_broken && !m_refusal)
        sendLineAlone(named);
    return named;
}

bool RangeSplitter::copyRange(qsizetype begin, qsizetype end) {
    bool ok = m_stream.begin(m_transaction.prefix(), 0, m_transaction.answers());
    if (!ok && m_transaction.reopenAfterFailedBegin())
        ok = m_stream.begin(m_transaction.prefix(), 0, m_transaction.answers());
    if (ok) {
        ok = m_stream.write(m_lines.text(begin, end));
        ok = m_stream.end() && ok;
        ok = m_stream.collect() && ok;
    }
    if (!ok) {
        if (!failed() && m_stream.refusal()) {
            m_refusal = m_stream.refusal();
            m_refusedAt = begin;
        }
        m_transaction.attemptFailed();
        return false;
    }
    m_transaction.workDone();
    m_accepted += m_lines.carried(begin, end);
    return true;
}

bool RangeSplitter::sendLineAlone(qsizetype line) {
    if (m_stopped || m_refusal)
        return false;
    QByteArray prefix = m_transaction.prefix();
    bool ready = prefix.isEmpty() || m_connection.run(prefix, m_transaction.answers()).succeeded();
    if (!ready && m_transaction.reopenAfterFailedBegin()) {
        prefix = m_transaction.prefix();
        ready = m_connection.run(prefix, m_transaction.answers()).succeeded();
    }
    if (!ready) {
        m_broken = true;
        return false;
    }
    if (insertLine(line)) {
        m_transaction.workDone();
        ++m_accepted;
        return true;
    }
    m_transaction.attemptFailed();
    return false;
}

// One line as its own row statement, sent as the row-by-row path sends it, so that the
// server's message (and libpq's pointer into the statement) reads the same. A rejection is kept
// for the report.
bool RangeSplitter::insertLine(qsizetype line) {
    const Result result = m_connection.run(m_insertStatement(line), true);
    if (result.succeeded())
        return true;
    if (m_connection.isBroken()) {
        m_lost = true; // not the line's fault: it is sent again over a new connection
        return false;
    }
    if (failed())
        return false;
    if ((m_refusal = TableRefusal::wordsOf(result))) {
        m_refusedAt = line;
    } else {
        m_rejections.add(m_lines[line].index, m_connection.errorOf(result), false,
                         QString::fromLatin1(result.sqlState()));
    }
    return false;
}

qsizetype RangeSplitter::insertEachOnItsOwn(qsizetype end) {
    reset();
    for (qsizetype line = 0; line < end; ++line) {
        if (insertLine(line))
            ++m_accepted;
        else if (m_stopped || m_lost || m_refusal)
            return line;
    }
    return end;
}

bool RangeSplitter::failed() {
    if (!m_connection.stopTaken())
        return false;
    m_stopped = true;
    return true;
}
