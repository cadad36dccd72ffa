#include "MainWindowFixture.h"

#include "database/Connection.h"
#include "import/ProgressMeter.h"
#include "shell/NumberText.h"
#include "widgets/WindowPointer.h"
#include "windows/Form2.h"
#include "windows/WindowImportFrontEnd.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace {

struct ImportCancel : MainWindowFixture {
    // Starts an append of 1,000 lines into the table "target" while the holder keeps it locked,
    // and returns once the run waits for the lock.
    void startWaitingForALock() {
        database.execute("CREATE TABLE target(n TEXT, t TEXT)");
        start();
        addFile("lines.csv", numberedLines(1000));
        holder.emplace(database.lockTable("target"));
        QTest::mouseClick(main->Option2, Qt::LeftButton);
        main->List1->setCurrentItem(
            main->List1->findItems(QStringLiteral("target"), Qt::MatchExactly).value(0));
        QTest::mouseClick(main->PushButton1, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return database.waitingLocks() > 0; }))
            << "the run waits for the lock";
    }

    std::optional<Connection> holder; // another session of the test database
};

} // namespace

// Cancel during a run over one connection, on the COPY path (a new table) and into a table
// with a trigger of its own: the run stops after the rows in flight, the table holds exactly
// the first lines the closing message counts, and the window is as before the run.
TEST_F(ImportCancel, StopsAfterTheRowsInFlightAndGivesTheWindowBack) {
    oneConnection();
    database.execute("CREATE TABLE audited(n INTEGER, t TEXT)");
    database.execute("CREATE FUNCTION keep() RETURNS trigger LANGUAGE plpgsql AS "
                     "'BEGIN RETURN NEW; END'");
    database.execute("CREATE TRIGGER keep BEFORE INSERT ON audited FOR EACH ROW EXECUTE "
                     "FUNCTION keep()");
    start();
    const int lines = 2000000;
    addFile("big.csv", numberedLines(lines));
    addFile("next.csv", numberedLines(3));
    const QSize designed = main->size();
    const QString stopping = QStringLiteral(" (stopping)");

    const struct {
        const char* name;
        bool append;
        QString table;
    } cases[] = {
        {"copy into a new table", false, "\"NewTable1\""},
        {"row by row into a table with a trigger", true, "audited"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        windows.ui.messages.clear();
        if (c.append) {
            QTest::mouseClick(main->Option2, Qt::LeftButton);
            main->List1->setCurrentItem(
                main->List1->findItems(QStringLiteral("audited"), Qt::MatchExactly).value(0));
        }
        EXPECT_FALSE(main->PushButtonCancel->isVisible());
        QTest::mouseClick(main->PushButton1, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] {
            return !main->importRunning() ||
                   (database.count(c.table) > 0 && main->PushButtonCancel->isVisible());
        }));
        ASSERT_TRUE(main->importRunning()) << "the run ended before rows were in";

        // During the run: the progress row below the designed window, Cancel the one live
        // control among those the run locks, the hourglass over the rest.
        EXPECT_EQ(main->width(), designed.width());
        EXPECT_GT(main->height(), designed.height());
        EXPECT_GE(main->LabelProgress->y(), main->PushButton1->geometry().bottom());
        EXPECT_TRUE(main->PushButtonCancel->isEnabled());
        EXPECT_FALSE(main->PushButton1->isEnabled());
        EXPECT_FALSE(main->List1->isEnabled());
        EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Busy);
        EXPECT_TRUE(
            main->LabelProgress->text().startsWith(QStringLiteral("File 1 of 2: big.csv\n")))
            << main->LabelProgress->text().toStdString();
        EXPECT_TRUE(main->LabelProgress->text().contains(QStringLiteral(" rows sent")));

        QTest::mouseClick(main->PushButtonCancel, Qt::LeftButton);
        EXPECT_FALSE(main->PushButtonCancel->isEnabled()) << "one click is enough";
        EXPECT_TRUE(main->LabelProgress->text().endsWith(stopping));
        ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));

        const ImportResult& result = main->lastImportResult();
        EXPECT_EQ(result.outcome, ImportOutcome::Cancelled);
        EXPECT_EQ(result.filesImported, 0);
        EXPECT_GT(result.rowsSent, 0);
        EXPECT_LT(result.rowsSent, lines);
        EXPECT_EQ(windows.ui.messages,
                  QStringList{QStringLiteral("Import stopped. 0 file(s) and %1 row(s) were "
                                             "imported.")
                                  .arg(groupedCount(result.rowsSent))})
            << "the rows counted as the progress row counts them";
        EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
        EXPECT_EQ(database.rows(QStringLiteral("SELECT count(*), min(n::int), max(n::int) "
                                               "FROM %1")
                                    .arg(c.table)),
                  QStringList{QStringLiteral("%1|1|%1").arg(result.rowsSent)})
            << "exactly the first lines, as many as the message says";
        EXPECT_EQ(database.count(QStringLiteral("\"NewTable2\"")), 0)
            << "the next file was not begun";

        // After the run: the designed window again, its controls unlocked.
        EXPECT_FALSE(main->PushButtonCancel->isVisible());
        EXPECT_FALSE(main->LabelProgress->isVisible());
        EXPECT_EQ(main->size(), designed);
        EXPECT_TRUE(main->PushButton1->isEnabled());
        EXPECT_TRUE(main->PushButton5->isEnabled());
        EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Default);
    }
}

// A statement that waits for a lock another connection holds: Cancel stops it at once, without
// an error, and the window is given back.
TEST_F(ImportCancel, StopsAStatementThatWaitsForALock) {
    ASSERT_NO_FATAL_FAILURE(startWaitingForALock());
    ASSERT_TRUE(waitUntil([&] { return main->PushButtonCancel->isVisible(); }));
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(main->PushButtonCancel, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }, 10000));
    EXPECT_LT(clock.elapsed(), 2000) << "not when the lock goes";
    EXPECT_EQ(windows.ui.messages,
              QStringList{QStringLiteral("Import stopped. 0 file(s) and 0 row(s) were imported.")});
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    EXPECT_TRUE(main->PushButton1->isEnabled());
    holder->execute("ROLLBACK");
    EXPECT_EQ(database.count("target"), 0);
}

// A backend stopped by SIGSTOP in the middle of a file: Cancel gives the connection up within
// a few seconds, the closing message counts only what was committed, and nothing is reported
// as an error.
TEST_F(ImportCancel, GivesUpABackendThatStoppedAnswering) {
    oneConnection();
    start();
    addFile("lines.csv", numberedLines(2000000));
    QTest::mouseClick(main->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return database.count(QStringLiteral("\"NewTable1\"")) > 0; }));
    const QStringList backends = database.backends();
    ASSERT_EQ(backends.size(), 1);
    const pid_t backend = backends[0].toInt();
    ASSERT_EQ(::kill(backend, SIGSTOP), 0);
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(main->PushButtonCancel, Qt::LeftButton);
    const bool ended = waitUntil([&] { return !main->importRunning(); }, 15000);
    ::kill(backend, SIGCONT);
    ASSERT_TRUE(ended);
    EXPECT_LT(clock.elapsed(), 6000) << "given up within a few seconds";
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    ASSERT_EQ(windows.ui.messages.size(), 1);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Import stopped\\. 0 file\\(s\\) and ([\\d,]+) "
                                          "row\\(s\\) were imported\\.$"))
            .match(windows.ui.messages[0]);
    ASSERT_TRUE(match.hasMatch()) << windows.ui.messages[0].toStdString();
    const qint64 rows = match.captured(1).remove(QLatin1Char(',')).toLongLong();
    ASSERT_TRUE(waitUntil([&] {
        return database.column(
                   QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1")
                       .arg(backend)) == QStringList{"0"};
    })) << "the backend ends once it goes on";
    // A COMMIT the backend had taken in before it stopped ends when it goes on: the message
    // cannot have counted that one chunk.
    const qint64 in = database.count(QStringLiteral("\"NewTable1\""));
    EXPECT_GE(in, rows);
    EXPECT_LE(in, rows + 65536);
    EXPECT_TRUE(main->PushButton1->isEnabled());
}

// Closing the main window while a statement waits for a lock another connection holds: the
// program's end (the windows going away) follows at once, not when the lock goes, without a
// message, and the server keeps nothing of the file.
TEST_F(ImportCancel, ClosingTheMainWindowWhileAStatementWaitsForALockEndsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(startWaitingForALock());
    QElapsedTimer clock;
    clock.start();
    main->close();
    EXPECT_EQ(windows.endRequests, 1);
    windows.endProgram();
    EXPECT_LT(clock.elapsed(), 2000) << "not when the lock goes";
    EXPECT_TRUE(windows.ui.messages.isEmpty()) << windows.ui.messages.join('\n').toStdString();
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    holder->execute("ROLLBACK");
    EXPECT_EQ(database.column("SELECT count(*) FROM target"), QStringList{"0"});
}

// A named pipe nobody writes to: the run waits for a writer, and Cancel ends the wait.
TEST_F(ImportCancel, StopsARunThatWaitsForAPipesWriter) {
    start();
    const QString fifo = folder.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    main->addFileEntry(fifo);
    QTest::mouseClick(main->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return main->PushButtonCancel->isVisible(); }));
    QTest::qWait(300);
    ASSERT_TRUE(main->importRunning()) << "the run waits for the writer";
    QTest::mouseClick(main->PushButtonCancel, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }, 10000));
    EXPECT_EQ(main->lastImportResult().outcome, ImportOutcome::Cancelled);
    EXPECT_EQ(windows.ui.messages,
              QStringList{QStringLiteral("Import stopped. 0 file(s) and 0 row(s) were imported.")});
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    EXPECT_EQ(database.count(QStringLiteral("\"NewTable1\"")), 0);
}

// A run that ends before any progress report (a start check) never shows the progress row.
TEST_F(ImportCancel, StartChecksLeaveTheWindowAtItsDesignedSize) {
    start();
    const QSize designed = main->size();
    QTest::mouseClick(main->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("No files added.")});
    EXPECT_EQ(main->size(), designed);
    EXPECT_FALSE(main->PushButtonCancel->isVisible());
}

// Progress reports reach the window's thread without ever holding the run: reports sent while
// the window is busy are merged into the latest one.
TEST_F(ImportCancel, ProgressIsHandedOverWithoutWaitingAndMerged) {
    start();
    QList<ImportProgress> seen;
    WindowImportFrontEnd frontEnd(windows.context, main, [](const QString&) {});
    frontEnd.setProgressReceiver([&](const ImportProgress& progress) { seen << progress; });

    // The window's thread handles no events while the run reports: a report that waited for
    // it would never return.
    std::thread run([&] {
        for (int i = 1; i <= 100000; ++i) {
            ImportProgress progress;
            progress.file = 1 + i / 50000;
            progress.files = 2;
            progress.rowsSent = i;
            frontEnd.progress(progress);
        }
    });
    run.join();
    EXPECT_TRUE(seen.isEmpty()) << "delivered on the window's thread only";
    QCoreApplication::sendPostedEvents(frontEnd.receiver());
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].rowsSent, 100000);
    EXPECT_EQ(seen[0].file, 3);

    // Once delivered, the next report goes out again; after stop() none reaches the window.
    ImportProgress later;
    later.rowsSent = 100001;
    frontEnd.progress(later);
    QCoreApplication::sendPostedEvents(frontEnd.receiver());
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[1].rowsSent, 100001);
    frontEnd.stop();
    frontEnd.progress(later);
    QCoreApplication::sendPostedEvents(frontEnd.receiver());
    EXPECT_EQ(seen.size(), 2);
    EXPECT_TRUE(frontEnd.cancelRequested());
}
