#include "support/PrivateCluster.h"

#include "database/Connection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVersionNumber>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

// The newest server installed, as scripts/pgcluster finds it.
QString serverBin() {
    QString best;
    QVersionNumber bestVersion;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& name : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber version = QVersionNumber::fromString(name);
        if (QFile::exists(versions.filePath(name + QStringLiteral("/bin/initdb"))) &&
            version > bestVersion) {
            bestVersion = version;
            best = versions.filePath(name + QStringLiteral("/bin"));
        }
    }
    return best;
}

bool asRoot() {
    return ::geteuid() == 0;
}

} // namespace

PrivateCluster::PrivateCluster(QStringList options)
    : m_options(std::move(options)) {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/quenmarl-cluster.XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    if (!made) {
        ADD_FAILURE() << "no temporary folder for the cluster";
        return;
    }
    m_dir = QString::fromLocal8Bit(made);
    QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                     QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                     QFile::ExeOther);
    QDir(m_dir).mkpath(QStringLiteral("main"));
    QDir(m_dir).mkpath(QStringLiteral("side"));
    if (asRoot())
        run({QStringLiteral("chown"), QStringLiteral("-R"), QStringLiteral("postgres:"), m_dir});
    const QString bin = serverBin();
    if (bin.isEmpty()) {
        ADD_FAILURE() << "PostgreSQL server binaries not found";
        return;
    }
    run({bin + QStringLiteral("/initdb"), QStringLiteral("-D"), m_dir + QStringLiteral("/data"),
         QStringLiteral("-U"), QStringLiteral("quenmarl"), QStringLiteral("--auth-local=trust"),
         QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")});
    start();
}

PrivateCluster::~PrivateCluster() {
    if (m_running)
        stop();
    if (!m_dir.isEmpty())
        QDir(m_dir).removeRecursively();
}

QStringList PrivateCluster::commitWaitsBeforeFlush() {
    return {
        // The flush of a COMMIT waits this long (the most the server allows), whoever else runs.
        QStringLiteral("commit_delay=100000"),
        QStringLiteral("commit_siblings=0"),
        // Nothing else writes WAL out before the COMMIT does: no WAL writer rounds, no
        // background writer, no checkpoint, no autovacuum (its commits flush WAL too), and WAL
        // buffers that hold a whole chunk.
        QStringLiteral("wal_writer_delay=10000"),
        QStringLiteral("wal_buffers=64MB"),
        QStringLiteral("bgwriter_lru_maxpages=0"),
        QStringLiteral("checkpoint_timeout=3600"),
        QStringLiteral("max_wal_size=10GB"),
        QStringLiteral("autovacuum=off"),
    };
}

void PrivateCluster::start(Folder folder) {
    QString options =
        QStringLiteral("-k ") + folderPath(folder) + QStringLiteral(" -c listen_addresses=");
    for (const QString& option : m_options)
        options += QStringLiteral(" -c ") + option;
    run({serverBin() + QStringLiteral("/pg_ctl"), QStringLiteral("-D"),
         m_dir + QStringLiteral("/data"), QStringLiteral("-l"), m_dir + QStringLiteral("/log"),
         QStringLiteral("-w"), QStringLiteral("-o"), options, QStringLiteral("start")});
    m_listening = folder;
    m_running = true;
}

void PrivateCluster::stop(const QString& mode) {
    run({serverBin() + QStringLiteral("/pg_ctl"), QStringLiteral("-D"),
         m_dir + QStringLiteral("/data"), QStringLiteral("-m"), mode, QStringLiteral("-w"),
         QStringLiteral("stop")});
    m_running = false;
}

ConnectionSettings PrivateCluster::settings(const QString& database) const {
    ConnectionSettings settings;
    settings.server = folderPath(Folder::Main);
    settings.port = QStringLiteral("5432");
    settings.user = QStringLiteral("quenmarl");
    settings.database = database;
    return settings;
}

void PrivateCluster::execute(const QString& database, const QString& statements) const {
    ConnectionSettings where = settings(database);
    where.server = folderPath(m_listening);
    try {
        Connection::open(where).execute(statements);
    } catch (const DatabaseError& error) {
        ADD_FAILURE() << statements.toStdString() << ": " << error.description().toStdString();
    }
}

QString PrivateCluster::value(const QString& database, const QString& query) const {
    ConnectionSettings where = settings(database);
    where.server = folderPath(m_listening);
    try {
        return Connection::open(where).query(query).value(0, 0);
    } catch (const DatabaseError& error) {
        ADD_FAILURE() << query.toStdString() << ": " << error.description().toStdString();
        return {};
    }
}

QString PrivateCluster::folderPath(Folder folder) const {
    return m_dir + (folder == Folder::Main ? QStringLiteral("/main") : QStringLiteral("/side"));
}

void PrivateCluster::run(const QStringList& command) const {
    QStringList line = command;
    if (asRoot() && command.first() != QLatin1String("chown"))
        line = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"),
                           QStringLiteral("postgres"), QStringLiteral("--")} +
               command;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(line.first(), line.mid(1));
    const bool done = process.waitForFinished(120000);
    EXPECT_TRUE(done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << line.join(QLatin1Char(' ')).toStdString() << ":\n"
        << process.readAll().toStdString();
}
