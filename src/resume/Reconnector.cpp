#include "resume/Reconnector.h"

#include "sending/copy/ChunkMarker.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace {
constexpr int DefaultBoundSeconds = 30;
constexpr int FirstPauseMs = 100;
constexpr int LongestPauseMs = 1000;
constexpr int BackendPauseMs = 500;
constexpr int StopCheckMs = 50;
} // namespace

int Reconnector::boundSeconds() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QUENMARL_RECONNECT_SECONDS", &ok);
    return ok && seconds >= 0 ? seconds : DefaultBoundSeconds;
}

QDeadlineTimer Reconnector::deadline() {
    return QDeadlineTimer(qint64(boundSeconds()) * 1000);
}

Reconnector::Reconnector(ConnectionSettings settings, std::function<bool()> stop,
                         std::function<void(int seconds)> waiting)
    : m_settings(std::move(settings))
    , m_stop(std::move(stop))
    , m_waiting(std::move(waiting)) {}

Connection Reconnector::open() {
    return open(deadline());
}

Connection Reconnector::open(QDeadlineTimer deadline) {
    int pauseMs = FirstPauseMs;
    for (bool told = false;; told = true) {
        if (m_stop && m_stop())
            throw Stopped(QStringLiteral("The run was stopped."));
        try {
            // An attempt that hangs (a host that drops packets) ends with the bound too.
            const int left = static_cast<int>((deadline.remainingTime() + 999) / 1000);
            Connection connection = Connection::open(m_settings, std::min(left, 15));
            connection.setStopCheck(m_stop);
            return connection;
        } catch (const DatabaseError&) {
            if (deadline.hasExpired())
                throw;
        }
        if (!told && m_waiting)
            m_waiting(boundSeconds());
        pause(static_cast<int>(std::min<qint64>(pauseMs, deadline.remainingTime())));
        pauseMs = std::min(pauseMs * 2, LongestPauseMs);
    }
}

ChunkFate Reconnector::settle(Connection& connection, const ChunkInDoubt& chunk) {
    awaitBackend(connection, chunk);
    if (chunk.marker == 0)
        return ChunkFate::Unknown;
    const QString found =
        connection.query(ChunkMarker::lookup(chunk.marker, chunk.token)).value(0, 0);
    return found == QLatin1String("t") ? ChunkFate::Committed : ChunkFate::NotCommitted;
}

// Until the backend that ran the chunk no longer holds its transaction. The transaction id
// alone can't say which backend that is: after a crash the id may be another's. Where the id's
// answer was lost too, until the backend is gone.
void Reconnector::awaitBackend(Connection& connection, const ChunkInDoubt& chunk) {
    const QString holding = QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1 "
                                           "AND (%2 = 0 OR backend_xid::text::bigint = %2)")
                                .arg(chunk.backendPid)
                                .arg(chunk.xid % (qint64(1) << 32));
    QElapsedTimer clock;
    clock.start();
    bool ended = false;
    while (connection.query(holding).value(0, 0) != QLatin1String("0")) {
        const qint64 boundMs = qint64(boundSeconds()) * 1000;
        if (!ended && clock.elapsed() >= boundMs) {
            connection.execute(
                QStringLiteral("SELECT pg_terminate_backend(%1)").arg(chunk.backendPid));
            ended = true;
        } else if (ended && clock.elapsed() >= 2 * boundMs) {
            throw DatabaseError(QStringLiteral("the server's backend %1 still holds the "
                                               "transaction and does not end")
                                    .arg(chunk.backendPid));
        }
        pause(BackendPauseMs);
    }
}

void Reconnector::pause(int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += StopCheckMs) {
        if (m_stop && m_stop())
            throw Stopped(QStringLiteral("The run was stopped."));
        QThread::msleep(std::min(StopCheckMs, milliseconds - waited));
    }
}
