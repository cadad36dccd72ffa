#pragma once

#include "database/Connection.h"
#include "database/ConnectionSettings.h"
#include "sending/copy/ChunkInDoubt.h"

#include <QDeadlineTimer>
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
    // The bound from now.
    static QDeadlineTimer deadline();

    // stop is the run's stop check, given to every connection opened too; waiting is told
    // the bound in seconds once a first attempt failed and the server is waited for.
    Reconnector(ConnectionSettings settings, std::function<bool()> stop,
                std::function<void(int seconds)> waiting = {});

    // A connection, tried again and again until the deadline (by default the bound from now):
    // whatever keeps the server from taking it (refused, starting up, in recovery, too many
    // clients) is waited out, after a tenth of a second at first and then a pause that doubles
    // up to a second. Throws DatabaseError with libpq's last message when the deadline passed,
    // Stopped as soon as the stop check answers true.
    Connection open();
    Connection open(QDeadlineTimer deadline);

    // Whether a connection that was opened has since been lost (libpq saw it break).
    static bool lost(const Connection& connection) { return connection.isBroken(); }

    // Over a new connection: whether the chunk in doubt committed, from its marker. While the
    // backend that ran it still holds its transaction (it has not yet noticed that its client
    // went), the transaction may still commit: it is waited for, up to the bound, and then that
    // backend, and no other, is ended so that it can't commit later. Throws DatabaseError when
    // the lookup itself fails, Stopped on a stop.
    ChunkFate settle(Connection& connection, const ChunkInDoubt& chunk);

    // Waits, asking the stop check; throws Stopped when it answers true.
    void pause(int milliseconds);

private:
    void awaitBackend(Connection& connection, const ChunkInDoubt& chunk);

    ConnectionSettings m_settings;
    std::function<bool()> m_stop;
    std::function<void(int)> m_waiting;
};
