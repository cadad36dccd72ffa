#pragma once

#include "sending/copy/ChunkInDoubt.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

#include "database/Connection.h"

// The transaction that holds one chunk of a COPY, and the savepoint behind which each attempt
// runs, so that a failed attempt takes back only itself. Says which statements must come
// before the next attempt and before COMMIT; the sender sends them.
//
// Each transaction also makes the chunk's ChunkMarker, so that a COMMIT whose answer is lost
// can be settled from evidence of its own, and removes the markers of the chunks known to have
// committed before it. Where no marker can be made (the server refuses large objects), chunks
// go without one.
class ChunkTransaction {
public:
    explicit ChunkTransaction(Connection& connection)
        : m_connection(connection) {}

    // The statements that must come before the next attempt: a fresh savepoint when work was
    // done since the last one, the take-back of a failed attempt. When no transaction is open
    // they open one, in the same round trip as the attempt: BEGIN and a query of its
    // txid_current() and its marker (and the removal of the markers committed before it),
    // whose answer must be handed to noteAnswer() (answers() does).
    QByteArray prefix();
    // Opens the transaction as one statement's own: the opening's query of prefix() without
    // BEGIN or a savepoint, to go in one query string with a COPY statement, which the server
    // then runs as one transaction, committed by the COPY's success and taken back whole by
    // its failure. Only when no transaction is open.
    QByteArray selfCommittingPrefix();
    // Whether the open transaction is one statement's own (selfCommittingPrefix()).
    bool selfCommitting() const { return m_selfCommitting; }
    // Takes the answers to the statements of prefix(), in order; only the opening's row counts.
    void noteAnswer(const Result& result);
    // Opens the transaction for a caller that sends BEGIN itself: the opening's query of
    // prefix() as one statement, whose row goes to noteOpening().
    QByteArray openingStatement() { return opening().chopped(2); }
    void noteOpening(const QStringList& row);
    std::function<void(const Result&)> answers() {
        return [this](const Result& result) { noteAnswer(result); };
    }
    // After an attempt that failed: when the transaction that its prefix opened failed to open
    // (the server would not make the marker) and the connection still answers, rolls it back
    // and goes on without markers; true when the attempt is to be sent again, with a new
    // prefix(). Otherwise false and nothing changes.
    bool reopenAfterFailedBegin();
    // COMMIT, behind the take-back of a failed attempt.
    QByteArray commitStatement();
    // Sends it without waiting for the answer; false when it could not be sent.
    bool sendCommit() { return m_connection.sendOnly(commitStatement()); }
    // Reads the answer to COMMIT: true when the chunk committed. A transaction that had failed
    // answers COMMIT with ROLLBACK.
    bool readCommit();
    // An attempt went in (a COPY statement or a row statement).
    void workDone() { m_dirty = true; }
    // The attempt failed: it is taken back by the next statement sent. A statement's own
    // transaction was taken back whole by the server: nothing is open any more.
    void attemptFailed() {
        if (!m_open || m_selfCommitting)
            return end();
        m_dirty = false;
        m_rollBackFirst = true;
    }
    // The COMMIT was answered: the chunk's marker waits to be removed.
    void committed();
    // Rolled back, or left to the server to roll back (also after a COMMIT in doubt).
    void end();

    bool open() const { return m_open; }
    qint64 ageMilliseconds() const { return m_age.elapsed(); }
    // What it takes to settle the open transaction once its COMMIT's answer was lost.
    ChunkInDoubt inDoubt() const;
    // Markers of committed chunks not yet removed.
    const QList<quint32>& markersLeft() const { return m_committedMarkers; }
    // Removes them in a transaction of their own, outside the chunk's, which does not wait for
    // the disk; what can't be removed stays behind.
    void removeMarkers();
    // Markers of chunks that committed before this one's first transaction (an earlier file's),
    // to be removed with the others.
    void adoptMarkers(const QList<quint32>& markers) { m_committedMarkers += markers; }
    // Hands the markers not yet removed over, for a later transaction to remove.
    QList<quint32> takeMarkers() { return std::exchange(m_committedMarkers, {}); }

private:
    QByteArray begin();
    QByteArray opening();

    Connection& m_connection;
    QElapsedTimer m_age;
    qint64 m_xid = 0;
    int m_backendPid = 0;
    QByteArray m_token;
    quint32 m_marker = 0;              // the open transaction's marker, 0 when it has none
    QList<quint32> m_committedMarkers; // of committed chunks, to be removed
    QList<quint32> m_removing;         // removed by the open transaction
    bool m_markersRefused = false;     // the server would not make one
    bool m_beginAnswerDue = false;     // the opening's row is not yet in
    bool m_open = false;
    bool m_selfCommitting = false; // opened by selfCommittingPrefix()
    bool m_dirty = false;          // work done since the savepoint was set
    bool m_rollBackFirst = false;  // a failed attempt is still to be taken back
};
