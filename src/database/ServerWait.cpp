#include "database/ServerWait.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <thread>

namespace {

constexpr int PollMs = 100;

// libpq's cancel request blocks until the server took it; on a thread of its own it can't hold
// the run when the network is gone.
void sendCancelRequest(PGconn* conn) {
    PGcancel* cancel = PQgetCancel(conn);
    if (!cancel)
        return;
    std::thread([cancel] {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
    }).detach();
}

void ensureNonBlocking(PGconn* conn) {
    if (PQisnonblocking(conn) == 0)
        PQsetnonblocking(conn, 1);
}

} // namespace

bool ServerWait::once(PGconn* conn, bool forWrite) {
    if (m_gaveUp)
        return false;
    if (!m_stopSeen && m_stop && m_stop()) {
        m_stopSeen = true;
        m_silent.start();
    }
    if (m_stopSeen && !m_cancelSent && m_silent.elapsed() >= GraceMs) {
        m_cancelSent = true;
        m_sinceCancel.start();
        sendCancelRequest(conn);
    } else if (m_cancelSent && m_sinceCancel.elapsed() >= GiveUpMs) {
        giveUp(conn);
        return false;
    }
    pollfd socket{PQsocket(conn), static_cast<short>(POLLIN | (forWrite ? POLLOUT : 0)), 0};
    if (socket.fd < 0)
        return false;
    const int ready = ::poll(&socket, 1, PollMs);
    if (ready < 0 && errno != EINTR)
        return false;
    if (ready > 0 && m_stopSeen && !m_cancelSent)
        m_silent.restart(); // the server answers or takes data: no cancel yet
    return true;
}

void ServerWait::untilAnswer(PGconn* conn) {
    if (!conn)
        return;
    ensureNonBlocking(conn);
    if (m_stopSeen && !m_cancelSent)
        m_silent.restart(); // each answer has its grace, however long the caller took before
    for (;;) {
        const int flushed = PQflush(conn);
        if (flushed < 0 || PQconsumeInput(conn) != 1 || PQisBusy(conn) == 0)
            return;
        if (!once(conn, flushed == 1)) {
            PQconsumeInput(conn); // reads the shut socket's end: the connection is lost
            return;
        }
    }
}

bool ServerWait::untilFlushed(PGconn* conn) {
    if (!conn)
        return false;
    ensureNonBlocking(conn);
    for (;;) {
        const int flushed = PQflush(conn);
        if (flushed <= 0)
            return flushed == 0;
        if (PQconsumeInput(conn) != 1 || !once(conn, true))
            return false;
    }
}

bool ServerWait::untilWritable(PGconn* conn) {
    if (!conn || PQconsumeInput(conn) != 1)
        return false;
    return once(conn, true);
}

void ServerWait::giveUp(PGconn* conn) {
    m_gaveUp = true;
    const int socket = conn ? PQsocket(conn) : -1;
    if (socket < 0)
        return;
    // The socket is reset when it is closed, and what was not yet sent is dropped. An orderly
    // end would wait behind those bytes, and a server that waits (for a lock) reads none: it
    // would never learn that the client is gone, and would run the statements it already holds
    // one after another.
    const linger reset{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::shutdown(socket, SHUT_RDWR);
}
