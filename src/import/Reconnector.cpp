#include "import/Reconnector.h"

#include <libpq-fe.h>

#include <QElapsedTimer>
#include <QThread>

namespace {
constexpr int DefaultBoundSeconds = 30;
constexpr int PauseMs = 500;
constexpr int StopCheckMs = 50;
} // namespace

int Reconnector::boundSeconds() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QUENMARL_RECONNECT_SECONDS", &ok);
    return ok && seconds >= 0 ? seconds : DefaultBoundSeconds;
}

Reconnector::Reconnector(ConnectionSettings settings, std::function<bool()> stop,
                         std::function<void(int seconds)> waiting)
    : m_settings(std::move(settings))
    , m_stop(std::move(stop))
    , m_waiting(std::move(waiting)) {}

Connection Reconnector::open() {
    const qint64 boundMs = qint64(boundSeconds()) * 1000;
    QElapsedTimer clock;
    clock.start();
    for (bool told = false;; told = true) {
        if (m_stop && m_stop())
            throw Stopped(QStringLiteral("The run was stopped."));
        try {
            Connection connection = Connection::open(m_settings);
            connection.setStopCheck(m_stop);
            return connection;
        } catch (const DatabaseError&) {
            if (clock.elapsed() >= boundMs)
                throw;
        }
        if (!told && m_waiting)
            m_waiting(boundSeconds());
        pause();
    }
}

bool Reconnector::lost(const Connection& connection) {
    return !connection.isOpen() || PQstatus(connection.handle()) != CONNECTION_OK;
}

bool Reconnector::committed(Connection& connection, const QString& xid) {
    const qint64 boundMs = qint64(boundSeconds()) * 1000;
    QElapsedTimer clock;
    clock.start();
    const QString lookup = QStringLiteral("SELECT txid_status(%1)").arg(xid.toLongLong());
    for (;;) {
        const QString status = connection.query(lookup).value(0, 0);
        if (status == QLatin1String("committed"))
            return true;
        if (status != QLatin1String("in progress"))
            return false; // aborted, or too old to be known: never committed by this run
        if (clock.elapsed() >= boundMs) {
            // The old backend still holds it open: end it, so that it rolls back.
            connection.execute(
                QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                               "backend_xid::text::bigint = %1")
                    .arg(xid.toLongLong() % (qint64(1) << 32)));
            return false;
        }
        pause();
    }
}

void Reconnector::pause() {
    for (int waited = 0; waited < PauseMs; waited += StopCheckMs) {
        if (m_stop && m_stop())
            throw Stopped(QStringLiteral("The run was stopped."));
        QThread::msleep(StopCheckMs);
    }
}
