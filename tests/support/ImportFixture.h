#pragma once

#include "import/ImportRun.h"
#include "support/RecordingFrontEnd.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Import runs against a fresh database: files written into a temporary folder, the choices a
// front end hands over, and a front end that records. The tables a run leaves are read through
// m_db (TestDatabase::rowsOf, columnsOf).
class ImportFixture : public ::testing::Test {
protected:
    // The procedure every "Application Error" of a run names, before "at line N".
    static inline const QString Context =
        QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click ");

    QString file(const QString& name, const QByteArray& bytes) const {
        return writeTestFile(m_dir, name, bytes);
    }

    // Create mode, column names from each file's first line, "," as the separator, and the
    // database's tables as a front end lists them at this moment.
    ImportChoices create(const QStringList& files,
                         const QString& nameTemplate = QStringLiteral("NewTable[counter]")) const;
    // The same in append mode, with the table selected in that list (none when it is not
    // listed).
    ImportChoices append(const QStringList& files, const QString& table) const;

    // The database's tables as ListDatabaseTables lists them, catalogue tables included.
    QStringList tables() const;
    // Drops everything in the public schema, so that each case of a table starts afresh.
    void dropAll() const;

    // The whole "Application Error" text of a step of the run.
    static QString error(int step, const QString& description);

    QTemporaryDir m_dir;
    TestDatabase m_db;
    RecordingFrontEnd m_ui;
};
