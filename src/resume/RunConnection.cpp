#include "resume/RunConnection.h"

#include "database/DatabaseError.h"
#include "resume/Reconnector.h"
#include "sending/copy/ChunkMarker.h"

#include <algorithm>
#include <thread>
#include <utility>

Connection& RunConnection::begin(const ConnectionSettings& settings) {
    m_inTurn = false;
    const bool reuse = reusable(settings);
    m_fresh = false;
    if (!reuse) {
        m_connection.reset();
        m_connection.emplace(Connection::open(settings));
        m_settings = settings;
        ++m_opened;
    }
    m_inTurn = true;
    m_connection->setNoticeReceiver(m_notices);
    return *m_connection;
}

void RunConnection::adopt(Connection connection, const ConnectionSettings& settings) {
    m_connection.reset();
    m_connection.emplace(std::move(connection));
    m_settings = settings;
    m_fresh = true;
    ++m_opened;
}

void RunConnection::end() {
    m_inTurn = false;
    if (m_connection)
        m_connection->setNoticeReceiver({});
}

Connection& RunConnection::replace(Connection connection) {
    m_connection.reset();
    m_connection.emplace(std::move(connection));
    ++m_opened;
    m_inTurn = true;
    m_connection->setNoticeReceiver(m_notices);
    return *m_connection;
}

void RunConnection::reconnectingOnce(const std::function<bool()>& stop,
                                     const std::function<void(Connection&)>& work) {
    Connection* open = current();
    if (!open || !open->isOpen())
        throw Failure(QStringLiteral("The connection is not open."));
    try {
        work(*open);
    } catch (const DatabaseError&) {
        if (!Reconnector::lost(*open))
            throw;
        work(replace(Reconnector(m_settings, stop).open()));
    }
}

void RunConnection::close() {
    m_inTurn = false;
    // A connection that can't take a statement any more leaves the markers behind.
    if (m_connection && !m_markers.isEmpty() && m_connection->idle() &&
        m_connection->run(ChunkMarker::removalTransaction(m_markers)).succeeded())
        m_markers.clear();
    m_connection.reset();
}

// Whether the kept connection can serve the next file. Any doubt answers no: a new connection
// costs time only.
bool RunConnection::reusable(const ConnectionSettings& settings) {
    if (!m_connection || !m_connection->isOpen() || !(settings == m_settings))
        return false;
    // Whatever the server sent meanwhile is read first: a backend that was ended has sent its
    // last error and closed the socket, which makes the connection not idle.
    if (!m_connection->idle())
        return false;
    if (m_fresh)
        return true;
    // The reset rides with the next file's first statement.
    m_connection->resetSession();
    return !m_connection->inTransaction();
}

bool RunConnection::takesStatements() {
    return m_connection && m_connection->idle();
}

void closeTogether(const std::vector<RunConnection*>& connections) {
    const auto able = std::find_if(connections.begin(), connections.end(),
                                   [](RunConnection* c) { return c->takesStatements(); });
    for (RunConnection* connection : connections) {
        if (able != connections.end() && connection != *able && !connection->takesStatements())
            (*able)->markersLeft() += std::exchange(connection->markersLeft(), {});
    }
    std::vector<std::thread> closing;
    for (RunConnection* connection : connections)
        closing.emplace_back([connection] { connection->close(); });
    for (std::thread& thread : closing)
        thread.join();
}
