#include "support/TestEnvironment.h"

#include "database/Connection.h"
#include "sending/Statements.h"
#include "shell/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QString required(const char* name) {
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty()) {
        ADD_FAILURE() << name
                      << " is not set: the database tests need the private server that "
                         "scripts/test starts. Run the tests through scripts/test.";
    }
    return value;
}

Connection connectTo(const ConnectionSettings& settings) {
    return Connection::open(settings);
}

QStringList collect(const ConnectionSettings& settings, const QString& query, bool wholeRows) {
    Connection connection = connectTo(settings);
    const Result result = connection.query(query);
    QStringList out;
    for (int row = 0; row < result.rowCount(); ++row) {
        QStringList values;
        const int columns = wholeRows ? result.fieldCount() : 1;
        for (int column = 0; column < columns; ++column)
            values.append(result.isNull(row, column) ? QStringLiteral("<NULL>")
                                                     : result.value(row, column));
        out.append(values.join(QLatin1Char('|')));
    }
    return out;
}

} // namespace

const TestServer& TestServer::get() {
    static const TestServer server{
        required("QUENMARL_TEST_HOST"), required("QUENMARL_TEST_PORT"),
        required("QUENMARL_TEST_USER"), required("QUENMARL_TEST_PASSWORD"),
        required("QUENMARL_TEST_ROLE"), required("QUENMARL_TEST_ROLE_PASSWORD")};
    if (server.host.isEmpty())
        std::abort(); // the failure above names the missing variable
    return server;
}

ConnectionSettings TestServer::settings(const QString& database) const {
    return {host, port, user, password, database};
}

TestDatabase::TestDatabase()
    : m_name(QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(16)) {
    connectTo(TestServer::get().settings(QStringLiteral("postgres")))
        .execute(QStringLiteral("CREATE DATABASE \"%1\"").arg(m_name));
}

TestDatabase::~TestDatabase() {
    try {
        connectTo(TestServer::get().settings(QStringLiteral("postgres")))
            .execute(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_name));
    } catch (const std::exception& error) {
        ADD_FAILURE() << "could not drop " << m_name.toStdString() << ": " << error.what();
    }
}

ConnectionSettings TestDatabase::settings() const {
    return TestServer::get().settings(m_name);
}

void TestDatabase::execute(const QString& statement) const {
    try {
        connectTo(settings()).execute(statement);
    } catch (const std::exception& error) {
        ADD_FAILURE() << statement.toStdString() << ": " << error.what();
    }
}

QStringList TestDatabase::column(const QString& query) const {
    return collect(settings(), query, false);
}

QStringList TestDatabase::rows(const QString& query) const {
    return collect(settings(), query, true);
}

QStringList TestDatabase::rowsOf(const QString& table) const {
    return rows(QStringLiteral("SELECT * FROM %1 ORDER BY ctid").arg(quoteIdentifier(table)));
}

QStringList TestDatabase::columnsOf(const QString& table) const {
    return column(QStringLiteral("SELECT column_name || ' ' || data_type FROM "
                                 "information_schema.columns WHERE table_schema = 'public' AND "
                                 "table_name = '%1' ORDER BY ordinal_position")
                      .arg(QString(table).replace(QLatin1Char('\''), QStringLiteral("''"))));
}

qint64 TestDatabase::count(const QString& table) const {
    const QString name = QString(table).replace(QLatin1Char('\''), QStringLiteral("''"));
    if (column(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(name)) == QStringList{"t"})
        return 0;
    return column(QStringLiteral("SELECT count(*) FROM %1").arg(table)).value(0).toLongLong();
}

int TestDatabase::waitingLocks() const {
    return column(QStringLiteral("SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = "
                                 "l.database WHERE NOT granted AND d.datname = current_database()"))
        .value(0)
        .toInt();
}

Connection TestDatabase::lockTable(const QString& table) const {
    Connection holder = connectTo(settings());
    holder.execute(QStringLiteral("BEGIN"));
    holder.execute(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(table));
    return holder;
}

QStringList TestDatabase::backends() const {
    return column(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = "
                                 "current_database() AND backend_type = 'client backend' AND pid "
                                 "<> pg_backend_pid()"));
}

QString writeTestFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "could not write " << path.toStdString();
    return path;
}

QByteArray readTestFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QByteArray numberedLines(int count, int badEvery) {
    QByteArray bytes = "n,t\n";
    bytes.reserve(count * 40);
    for (int n = 1; n <= count; ++n) {
        bytes += QByteArray::number(n);
        bytes +=
            (badEvery > 0 && n % badEvery == 0) ? ",much too long for the column\n" : ",row text\n";
    }
    return bytes;
}

QByteArray utf16LittleEndian(const QString& text) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(static_cast<char>(c.unicode() & 0xFF))
            .append(static_cast<char>(c.unicode() >> 8));
    return bytes;
}

void makeTree(const QTemporaryDir& dir, const QStringList& paths) {
    for (const QString& path : paths) {
        const QString full = dir.path() + u'/' + path;
        const bool made = path.endsWith(u'/') ? QDir().mkpath(full)
                                              : QDir().mkpath(QFileInfo(full).path()) &&
                                                    QFile(full).open(QIODevice::WriteOnly);
        if (!made)
            ADD_FAILURE() << "could not make " << full.toStdString();
    }
}

TemporarySettings::TemporarySettings() {
    settings::useFolder(m_dir.path());
}

TemporarySettings::~TemporarySettings() {
    settings::useFolder(QString());
}
