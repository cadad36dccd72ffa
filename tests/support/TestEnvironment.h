#pragma once

#include "database/Connection.h"
#include "database/ConnectionSettings.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// The private PostgreSQL server that scripts/test starts, described by the QUENMARL_TEST_*
// variables it exports. A test that needs the server and finds them missing fails; it never
// skips.
struct TestServer {
    QString host;
    QString port;
    QString user; // a superuser
    QString password;
    QString role; // an ordinary role whose password really is checked
    QString rolePassword;

    // The server's description, or a failed assertion when the variables are missing.
    static const TestServer& get();

    // Connection settings for a database of this server, as the superuser.
    ConnectionSettings settings(const QString& database) const;
};

// A fresh database on the test server, dropped again when the object goes away.
class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const QString& name() const { return m_name; }
    ConnectionSettings settings() const;

    // Runs a statement in this database and fails the test when the server rejects it.
    void execute(const QString& statement) const;
    // The first column of every row of a query, NULL as "<NULL>".
    QStringList column(const QString& query) const;
    // Every row of a query, its values joined by "|", NULL as "<NULL>".
    QStringList rows(const QString& query) const;
    // Every row of a table, as rows() gives them, in the order stored (for a table that was
    // only ever appended to, the order the rows came in).
    QStringList rowsOf(const QString& table) const;
    // The columns of a table of the public schema in their order, each as "name type".
    QStringList columnsOf(const QString& table) const;
    // The rows of a table named as SQL names it (in double quotes where it needs them); 0
    // while it does not exist.
    qint64 count(const QString& table) const;
    // The lock requests of this database's backends that wait; those of other databases on the
    // shared server are left out.
    int waitingLocks() const;
    // Another session of this database, in a transaction that holds the table (named as SQL
    // names it) locked against every other access until it ends.
    Connection lockTable(const QString& table) const;
    // The process ids of this database's client backends, other than the one that asks.
    QStringList backends() const;

private:
    QString m_name;
};

// Writes a file of the given bytes into the folder and returns its path; a file that can't be
// written fails the test.
QString writeTestFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// The bytes of a file; a file that can't be read fails the test.
QByteArray readTestFile(const QString& path);

// Data lines "n,row text" numbered from 1 after the header "n,t", so that a table's rows show
// which lines went in. With badEvery, every badEvery-th line carries a value too long for a
// VARCHAR(8) column instead.
QByteArray numberedLines(int count, int badEvery = 0);

// The text as a UTF-16 file holds it: the little-endian byte-order mark, then each code unit
// low byte first.
QByteArray utf16LittleEndian(const QString& text);

// Makes the given paths inside the folder: names ending in "/" become folders, others empty
// files (with their folders). A path that can't be made fails the test.
void makeTree(const QTemporaryDir& dir, const QStringList& paths);

// Points the settings store at a temporary folder for the life of the object.
class TemporarySettings {
public:
    TemporarySettings();
    ~TemporarySettings();
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
