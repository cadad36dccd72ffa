#pragma once

#include "database/ConnectionSettings.h"

#include <QString>
#include <QStringList>

// A PostgreSQL cluster of one test's own, for tests that stop, crash and restart the server,
// which the shared test server must never be. It listens on Unix sockets only, in a folder of
// its own, so that it needs no free port and can't meet another cluster's. A server started
// in the side folder (Folder::Side) can't be reached by a program told the main one: to the
// program the server is still away while the test uses it.
//
// As root the cluster belongs to the postgres system user, since initdb refuses root. Made
// with trust for local connections; its superuser is "quenmarl". Stopped at once and removed
// when the object goes away. Failures fail the test (gtest assertions).
class PrivateCluster {
public:
    enum class Folder { Main, Side };

    // Runs initdb and starts the server in the main folder with the options given
    // ("-c name=value" pairs), which every later start() keeps too.
    explicit PrivateCluster(QStringList options = {});
    ~PrivateCluster();
    PrivateCluster(const PrivateCluster&) = delete;
    PrivateCluster& operator=(const PrivateCluster&) = delete;

    void start(Folder folder = Folder::Main);
    // pg_ctl stop with the mode given: "immediate" is a crash, as a power cut or a killed
    // postmaster leaves the data (no shutdown checkpoint; recovery at the next start).
    void stop(const QString& mode = QStringLiteral("immediate"));

    // Connection values for a database of the cluster, through the main folder.
    ConnectionSettings settings(const QString& database) const;
    // Runs statements in a database through the folder the server listens in now.
    void execute(const QString& database, const QString& statements) const;
    QString value(const QString& database, const QString& query) const;

    // Settings under which a COMMIT waits a tenth of a second before its WAL is flushed, and
    // nothing else flushes or writes WAL meanwhile: a crash during a COMMIT then loses the
    // whole transaction, its transaction id included, which the server hands out again.
    static QStringList commitWaitsBeforeFlush();

private:
    QString folderPath(Folder folder) const;
    void run(const QStringList& command) const;

    QString m_dir;
    QStringList m_options;
    Folder m_listening = Folder::Main;
    bool m_running = false;
};
