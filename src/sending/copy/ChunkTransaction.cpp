#include "sending/copy/ChunkTransaction.h"

#include "database/Connection.h"
#include "sending/copy/ChunkMarker.h"

QByteArray ChunkTransaction::prefix() {
    if (m_rollBackFirst) {
        m_rollBackFirst = false;
        m_dirty = false;
        return QByteArrayLiteral("ROLLBACK TO SAVEPOINT quenmarl_copy; ");
    }
    if (!m_open)
        return begin() + "SAVEPOINT quenmarl_copy; ";
    if (m_dirty) {
        m_dirty = false;
        return QByteArrayLiteral("RELEASE SAVEPOINT quenmarl_copy; SAVEPOINT quenmarl_copy; ");
    }
    return {};
}

// The statements that open the transaction: its id, its marker and the removal of the markers
// of chunks committed before it, read from the answer by noteAnswer(). They go out ahead of the
// first attempt, so that opening costs no round trip of its own. Should the connection fail,
// the statements that follow fail with it.
QByteArray ChunkTransaction::begin() {
    return "BEGIN; " + opening();
}

QByteArray ChunkTransaction::selfCommittingPrefix() {
    QByteArray statement = opening();
    m_selfCommitting = true;
    return statement;
}

QByteArray ChunkTransaction::opening() {
    m_open = true;
    m_dirty = false;
    m_age.start();
    m_xid = 0;
    m_marker = 0;
    m_removing.clear();
    m_backendPid = m_connection.backendPid();
    m_beginAnswerDue = true;
    if (m_markersRefused)
        return QByteArrayLiteral("SELECT txid_current(); ");
    m_token = ChunkMarker::newToken();
    m_marker = ChunkMarker::newOid();
    m_removing = m_committedMarkers;
    QByteArray statement = "SELECT txid_current(), " + ChunkMarker::creation(m_token, m_marker);
    const QByteArray removal = ChunkMarker::removal(m_committedMarkers);
    if (!removal.isEmpty())
        statement += ", " + removal;
    return statement + "; ";
}

void ChunkTransaction::noteAnswer(const Result& result) {
    if (result.rowCount() != 1)
        return;
    QStringList row;
    for (int column = 0; column < result.fieldCount(); ++column)
        row.append(result.value(0, column));
    noteOpening(row);
}

void ChunkTransaction::noteOpening(const QStringList& row) {
    if (!m_beginAnswerDue || row.isEmpty())
        return;
    m_beginAnswerDue = false;
    m_xid = row[0].toLongLong();
}

bool ChunkTransaction::reopenAfterFailedBegin() {
    if (!m_open || !m_beginAnswerDue || m_markersRefused || m_connection.isBroken() ||
        m_connection.stopTaken())
        return false;
    m_markersRefused = true;
    // A statement's own transaction was taken back by the server already.
    if (!m_selfCommitting)
        m_connection.run("ROLLBACK");
    end();
    return !m_connection.isBroken();
}

QByteArray ChunkTransaction::commitStatement() {
    QByteArray statement = "COMMIT";
    if (m_rollBackFirst)
        statement.prepend("ROLLBACK TO SAVEPOINT quenmarl_copy; ");
    m_rollBackFirst = false;
    return statement;
}

bool ChunkTransaction::readCommit() {
    bool committed = true;
    bool last = false;
    for (Result result = m_connection.nextResult(); result.get();
         result = m_connection.nextResult()) {
        committed = committed && result.succeeded();
        last = result.commandTag() == QLatin1String("COMMIT");
    }
    return committed && last;
}

void ChunkTransaction::committed() {
    for (const quint32 removed : std::as_const(m_removing))
        m_committedMarkers.removeOne(removed);
    if (m_marker != 0)
        m_committedMarkers.append(m_marker);
    m_marker = 0;
    end();
}

void ChunkTransaction::end() {
    m_open = m_dirty = m_rollBackFirst = m_beginAnswerDue = m_selfCommitting = false;
    m_marker = 0;
    m_removing.clear();
}

ChunkInDoubt ChunkTransaction::inDoubt() const {
    ChunkInDoubt chunk;
    chunk.xid = m_xid;
    chunk.backendPid = m_backendPid;
    chunk.marker = m_marker;
    chunk.token = m_token;
    return chunk;
}

void ChunkTransaction::removeMarkers() {
    if (m_committedMarkers.isEmpty() || m_open || m_connection.isBroken())
        return;
    const Result removed = m_connection.run(ChunkMarker::removalTransaction(m_committedMarkers));
    if (removed.succeeded())
        m_committedMarkers.clear();
}
