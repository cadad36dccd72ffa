#pragma once

#include "database/Connection.h"
#include "database/ConnectionSettings.h"

#include <QList>
#include <functional>
#include <optional>
#include <vector>

// The database connection of one import run, handed on from one file's turn to the next.
//
// Each file's turn begins with begin() and ends with end(). begin() gives the file the
// connection the previous file ended with when it can serve exactly as a new one would: open
// with the same settings, its socket not closed by the server, idle (no statement in flight,
// no transaction open, no pipeline) and reset to the state a new connection starts in (DISCARD
// ALL: settings, role, temporary tables, prepared statements, cursors, locks and listeners of
// the session are dropped, then the connection's own settings are made again; the reset goes
// out with the file's first statement, Connection::resetSession()). Otherwise it
// opens a new connection, as every turn did before connections were handed on, and a failure
// to open one is reported by the same step. Nothing is kept beyond the run: close() (or the
// destructor) closes it.
//
// The server's notices go to the run's notice receiver while a file's turn lasts (from
// begin(), or replace(), to end()); outside a turn they are dropped.
//
// Used from the run's thread only.
class RunConnection {
public:
    // The file's connection. Throws DatabaseError (Connection::open) when a new one can't be
    // opened; the file then has none.
    Connection& begin(const ConnectionSettings& settings);

    // Takes a connection opened with these settings before the run, which has run nothing
    // but queries that read: the first file's begin() takes it as it is, without the reset.
    void adopt(Connection connection, const ConnectionSettings& settings);

    // The file's turn is over; the connection stays for the next file's begin().
    void end();

    // Where the notices of a file's turn go (Connection::setNoticeReceiver()).
    // A file's turn already begun sends them there from now on.
    void setNoticeReceiver(std::function<void(const ServerNotice&)> receive) {
        m_notices = std::move(receive);
        if (m_inTurn && m_connection)
            m_connection->setNoticeReceiver(m_notices);
    }

    void close();

    // Takes a connection opened anew (the same settings) in place of the file's, which broke.
    Connection& replace(Connection connection);

    // Does the work over the file's connection; when it fails because that connection was lost,
    // does it once more over a connection opened anew (Reconnector, asking stop while it
    // waits). Throws what the work throws, and Failure when there is no connection.
    void reconnectingOnce(const std::function<bool()>& stop,
                          const std::function<void(Connection&)>& work);

    // The connection of the file whose turn it is, or nullptr when it has none (not begun,
    // ended, or the connection could not be opened).
    Connection* current() { return m_inTurn && m_connection ? &*m_connection : nullptr; }

    // Whether the run holds a connection, in a file's turn or not (one handed to the run
    // before its first turn counts).
    bool holdsOne() const { return m_connection.has_value(); }

    // Markers of committed chunks not yet removed, kept from one file's sender to the next
    // (SenderChoice::markersLeft); close() removes those still there.
    QList<quint32>& markersLeft() { return m_markers; }
    // Whether the connection is open and idle, ready for a statement (Connection::idle()).
    bool takesStatements();

    // How many connections were opened so far (for tests and benchmarks).
    int opened() const { return m_opened; }

private:
    bool reusable(const ConnectionSettings& settings);

    std::optional<Connection> m_connection;
    ConnectionSettings m_settings;
    std::function<void(const ServerNotice&)> m_notices;
    QList<quint32> m_markers;
    bool m_inTurn = false;
    bool m_fresh = false; // adopted, and not yet begun: no reset needed
    int m_opened = 0;
};

// Closes the connections (close()), each on a thread of its own, so that the round trips that
// remove their markers overlap. The markers of one that takes no statement any more (its
// backend was ended while it waited for the run's end) go with one that does, rather than stay
// in the database. None of them may be in use meanwhile.
void closeTogether(const std::vector<RunConnection*>& connections);
