#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

class Connection;

// The transaction that holds one chunk of a COPY, and the savepoint behind which each attempt
// runs, so that a failed attempt takes back only itself. Says which statements must come
// before the next attempt and before COMMIT; the sender sends them.
class ChunkTransaction {
public:
    explicit ChunkTransaction(Connection& connection)
        : m_connection(connection) {}

    // The statements that must come before the next attempt: a fresh savepoint when work was
    // done since the last one, the take-back of a failed attempt. Opens the transaction when
    // none is open (a round trip, which also notes its txid_current()).
    QByteArray prefix();
    // COMMIT, behind the take-back of a failed attempt.
    QByteArray commitStatement();
    // An attempt went in (a COPY statement or a row statement).
    void workDone() { m_dirty = true; }
    // The attempt failed: it is taken back by the next statement sent.
    void attemptFailed() {
        m_dirty = false;
        m_rollBackFirst = true;
    }
    // Committed, rolled back, or left to the server to roll back.
    void end() { m_open = m_dirty = m_rollBackFirst = false; }

    bool open() const { return m_open; }
    qint64 ageMilliseconds() const { return m_age.elapsed(); }
    // txid_current() of the open transaction (empty when none is open or it is not known).
    QString id() const { return m_open ? m_xid : QString(); }

private:
    Connection& m_connection;
    QElapsedTimer m_age;
    QString m_xid;
    bool m_open = false;
    bool m_dirty = false;         // work done since the savepoint was set
    bool m_rollBackFirst = false; // a failed attempt is still to be taken back
};
