#include "sending/copy/CopySender.h"

#include "database/Connection.h"

#include <algorithm>

// How a CopySender ends short of sending everything: the connection lost, a stop taken inside a
// statement, the table refused.

std::optional<LostConnection> CopySender::lostConnection() const {
    if (m_end != End::Lost)
        return std::nullopt;
    LostConnection lost;
    // A rejection is reported only once its chunk commits.
    lost.notCommitted = m_rejections.withIndices(m_lines.indices());
    lost.markersLeft = m_transaction.markersLeft();
    if (!m_commitInFlight || !m_transaction.open() || m_sentEnd == 0)
        return lost;
    ChunkInDoubt chunk = m_transaction.inDoubt();
    chunk.firstLine = lost.notCommitted.front();
    chunk.lastLine = m_lines[m_sentEnd - 1].index;
    chunk.lineAfter = m_lines.boundary(m_sentEnd);
    // A COPY that is its own transaction puts in every line it carries when it commits.
    chunk.rowsAccepted = m_acceptedInChunk + (m_transaction.selfCommitting() ? m_ownPieceLines : 0);
    for (const PendingRejections::Entry& rejection : m_rejections.before(chunk.lineAfter))
        chunk.rejections.push_back(rejection);
    lost.chunkInDoubt = std::move(chunk);
    return lost;
}

// A stop: the lines waiting behind the chunk in flight are forgotten unsent, so that the stop
// costs at most that chunk. The chunk's own lines stay, also those a failed piece hands on.
void CopySender::dropWaiting() {
    if (m_sentEnd >= m_lines.count())
        return;
    m_rejections.dropLocalFrom(m_lines[m_sentEnd].index);
    m_lines.truncate(m_sentEnd);
}

// After a stop was taken a failure is the server's answer to the cancel request: the
// transaction in flight is rolled back by the server, and every line not committed is left
// unsent and unreported, as a stop leaves the lines behind it. The connection is not used again.
bool CopySender::abandonOnStop() {
    if (!m_connection.stopTaken())
        return false;
    if (m_end == End::Abandoned)
        return true;
    release(0); // rejections of lines before the first uncommitted one
    m_rejections.clear();
    m_lines.clear();
    m_sentEnd = m_pieceBegin = m_asideSent = 0;
    forgetTransaction();
    m_end = End::Abandoned;
    return true;
}

// The transaction is gone (rolled back, or left to the server to roll back).
void CopySender::forgetTransaction() {
    m_phase = Phase::Idle;
    m_transaction.end();
    m_broken = false;
    m_acceptedInChunk = 0;
}

// The server refused the table at line at (TableRefusal): that line and every later one handed
// over are forgotten unsent, with the local rejections among them. The lines before it stay in
// the open transaction, which finish() commits.
void CopySender::refuse(qsizetype at, const QString& words) {
    const qint64 index = m_lines[at].index;
    const qint64 notSent = m_lines.count() - at + m_rejections.dropLocalFrom(index);
    // Lines before an earlier refusal, sent again row by row after a failed commit, may meet it
    // too: the refusal then starts at the earlier line and counts both.
    if (m_refusal)
        m_refusal = TableRefusal{index, words, m_refusal->notSent + notSent};
    else
        m_refusal = TableRefusal{index, words, notSent};
    m_lines.truncate(at);
    m_sentEnd = m_pieceBegin = at;
    m_asideSent = std::min(m_asideSent, at);
    m_phase = Phase::Idle;
    m_end = End::Refused;
}
