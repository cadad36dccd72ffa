#pragma once

#include <QElapsedTimer>
#include <functional>

struct pg_conn;
using PGconn = pg_conn;

// Waits on one connection's socket for the server, a tenth of a second at a time, so that a
// stop is seen while a statement is in flight. Once the stop check answers true, the
// statement in flight has GraceMs to answer (or take data) as a stop without a cancel
// expects: a server that answers lets the caller finish its work in flight (commit the chunk)
// and stop as designed. A server still silent after the grace is sent libpq's cancel request
// for the statement in flight (from a thread of its own, so that an unreachable server can't
// hold the caller); the server then answers with an error and rolls back what the statement
// did. A server that gives no answer within GiveUpMs of the cancel is given up: the socket is
// shut, libpq reports the connection as lost, and the server rolls back whatever was not
// committed when it notices. Used by Connection, which owns it.
class ServerWait {
public:
    static constexpr int GraceMs = 400;
    static constexpr int GiveUpMs = 3000;

    // Asked while waiting, on the waiting thread. Once it answered true the stop is final.
    void setStopCheck(std::function<bool()> stopRequested) { m_stop = std::move(stopRequested); }

    // Until libpq holds the next whole answer or the connection failed: either way
    // PQgetResult() then returns without blocking. Sends queued output on the way.
    void untilAnswer(PGconn* conn);
    // Until libpq handed every queued byte to the socket; false when the connection failed or
    // was given up.
    bool untilFlushed(PGconn* conn);
    // One wait for the socket to take more output; false when the connection was given up.
    bool untilWritable(PGconn* conn);

    // One wait of at most a tenth of a second for the socket to be readable (or writable);
    // false when the connection was given up or its socket is gone.
    bool once(PGconn* conn, bool forWrite);

    // Whether a stop was taken: a cancel request went out, so errors from now on may be the
    // server's answer to it rather than a rejection.
    bool stopTaken() const { return m_cancelSent; }
    // Shuts the socket; libpq reports the connection as lost from now on.
    void giveUp(PGconn* conn);

private:
    std::function<bool()> m_stop;
    bool m_stopSeen = false;
    // Since the stop was seen or the server last made itself heard, whichever is later.
    QElapsedTimer m_silent;
    bool m_cancelSent = false;
    bool m_gaveUp = false;
    QElapsedTimer m_sinceCancel;
};
