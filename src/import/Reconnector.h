#pragma once

#include "database/Connection.h"
#include "database/ConnectionSettings.h"

#include <QString>
#include <functional>

// Opens one file's connection, and opens it again after it was lost, waiting for the server
// up to a bound: a server that restarts, or a backend that was ended, costs a pause rather
// than the file's lines. Used on the run's thread.
class Reconnector {
public:
    // The bound in seconds: 30, or QUENMARL_RECONNECT_SECONDS when that holds a number (for
    // tests, and for jobs that would rather wait longer or not at all).
    static int boundSeconds();

    // stop is the run's stop check, given to every connection opened too; waiting is told
    // the bound in seconds once a first attempt failed and the server is waited for.
    Reconnector(ConnectionSettings settings, std::function<bool()> stop,
                std::function<void(int seconds)> waiting = {});

    // A connection, tried about every half second until the bound has passed since the first
    // attempt. Throws DatabaseError with libpq's last message when the server did not answer
    // in time, Stopped as soon as the stop check answers true.
    Connection open();

    // Whether a connection that was opened has since been lost (libpq saw it break).
    static bool lost(const Connection& connection);

    // Over a new connection: whether transaction xid (txid_current() inside it) committed.
    // Its COMMIT went out and the answer was lost with the connection; while the old backend
    // has not yet noticed that its client went, the transaction is still in progress and is
    // waited for, up to the bound (then taken as not committed: the old backend is ended so
    // that it can't commit later). Throws DatabaseError when the lookup itself fails.
    bool committed(Connection& connection, const QString& xid);

private:
    void pause();

    ConnectionSettings m_settings;
    std::function<bool()> m_stop;
    std::function<void(int)> m_waiting;
};
