#pragma once

#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

// Polls the condition every 10 ms; false when it is still not met after the time given.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// The files and rows counted by a closing "Import stopped." line that is all of the output;
// both -1 when the output is something else.
struct StoppedCounts {
    qint64 files = -1;
    qint64 rows = -1;
};
inline StoppedCounts importStopped(const QString& out) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Import stopped\\. ([\\d,]+) file\\(s\\) and ([\\d,]+) "
                                          "row\\(s\\) were imported\\.\\n$"))
            .match(out);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).remove(QLatin1Char(',')).toLongLong(),
            match.captured(2).remove(QLatin1Char(',')).toLongLong()};
}

// The rows counted by a closing "Import stopped." line that is all of the output and counts no
// file, or -1 when the output is something else.
inline qint64 importStoppedRows(const QString& out) {
    const StoppedCounts counts = importStopped(out);
    return counts.files == 0 ? counts.rows : -1;
}

// quenmarl-cli run as a process against a fresh database, with a settings store of its own.
class CommandLineFixture : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        return writeTestFile(m_dir, name, bytes);
    }

    QStringList arguments(const QStringList& rest) const {
        const ConnectionSettings s = m_db.settings();
        const QString port = m_port.isEmpty() ? s.port : m_port;
        return QStringList{"--server", s.server,     "--port",   port,         "--user",
                           s.user,     "--password", s.password, "--database", s.database} +
               rest;
    }

    // Starts the program with the arguments after the connection's, and the variables given
    // added to the environment.
    void start(QProcess& process, const QStringList& rest,
               const QList<std::pair<QString, QString>>& variables = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        for (const auto& [name, value] : variables)
            environment.insert(name, value);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUENMARL_CLI_PATH), arguments(rest));
        ASSERT_TRUE(process.waitForStarted());
    }

    void interrupt(QProcess& process, int signal = SIGINT) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
    }

    // The rows of a table, 0 while it does not exist yet.
    qint64 count(const QString& table) const {
        if (m_db.column(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(table)) ==
            QStringList{"t"})
            return 0;
        return m_db.column(QStringLiteral("SELECT count(*) FROM %1").arg(table))
            .value(0)
            .toLongLong();
    }

    // The database's client backends other than the test's own.
    QStringList backends() const {
        return m_db.column("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                           "AND backend_type = 'client backend' AND pid <> pg_backend_pid()");
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    TestDatabase m_db;
    QString m_port; // when not empty, the port the program is told instead of the server's
};
