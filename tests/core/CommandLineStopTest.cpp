#include "database/Connection.h"
#include "import/ProgressMeter.h"
#include "shell/NumberText.h"
#include "support/CommandLineKit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <optional>

namespace {

class CommandLineStopTest : public CommandLineFixture {};

} // namespace

// Ctrl+C once rows are in, over one connection: the run stops after the rows in flight, says
// what it imported and exits with 130; the table holds exactly the first lines it names.
TEST_F(CommandLineStopTest, CtrlCStopsAfterTheRowsInFlight) {
    const int lines = 2000000;
    const QString big = file("big.csv", numberedLines(lines));
    const QString second = file("second.csv", numberedLines(3));
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        const QString table = rowByRow ? QStringLiteral("r1") : QStringLiteral("c1");
        QProcess process;
        QStringList rest{"--jobs=1", "--create", table.left(1) + "[counter]", big, second};
        if (rowByRow)
            rest.prepend("--row-by-row");
        start(process, rest);
        ASSERT_TRUE(
            waitFor([&] { return m_db.count(table) > 0 || process.state() != QProcess::Running; }));
        ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before rows were in";
        interrupt(process);
        ASSERT_TRUE(process.waitForFinished(60000));

        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const qint64 rows = importStoppedRows(out);
        ASSERT_GE(rows, 0) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral(" and %1 row").arg(groupedCount(rows))))
            << "grouped as the progress line is";
        EXPECT_GT(rows, 0);
        EXPECT_LT(rows, lines);
        EXPECT_EQ(
            m_db.rows(
                QStringLiteral("SELECT count(*), min(n::int), max(n::int) FROM %1").arg(table)),
            QStringList{QStringLiteral("%1|1|%1").arg(rows)})
            << "exactly the first lines, as many as the message says";
        EXPECT_EQ(m_db.count(table.left(1) + "2"), 0) << "the next file is not begun";
        EXPECT_EQ(m_db.column(QStringLiteral("SELECT to_regclass('%1')").arg(table.left(1) + "2")),
                  QStringList{"<NULL>"});
        EXPECT_EQ(process.readAllStandardError(), QByteArray())
            << "no progress line where standard error is no terminal";
    }
}

// A statement that waits for a lock held by another connection: the first Ctrl+C cancels it at
// once, before the run's first row (the column-count query waits) and in the middle of a file
// (the row statements, a group of them or the COPY wait). The closing line counts exactly the
// rows that are in.
TEST_F(CommandLineStopTest, CtrlCCancelsAStatementThatWaitsForALock) {
    const QString path = file("lines.csv", numberedLines(2000000));
    m_db.execute("CREATE FUNCTION nothing() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RETURN "
                 "NULL; END$$");
    enum class Way { Copy, RowByRow, Grouped };
    for (const Way way : {Way::Copy, Way::RowByRow, Way::Grouped}) {
        for (const bool lockFirst : {true, false}) {
            SCOPED_TRACE(way == Way::Copy       ? "copy"
                         : way == Way::RowByRow ? "row by row"
                                                : "grouped");
            SCOPED_TRACE(lockFirst ? "locked before the run" : "locked during the run");
            const QString table = QStringLiteral("t%1%2").arg(int(way)).arg(lockFirst);
            m_db.execute(QStringLiteral("CREATE TABLE %1(n TEXT, t TEXT)").arg(table));
            if (way == Way::Grouped) // rules COPY out
                m_db.execute(QStringLiteral("CREATE TRIGGER s AFTER INSERT ON %1 EXECUTE "
                                            "FUNCTION nothing()")
                                 .arg(table));
            std::optional<Connection> holder;
            if (lockFirst)
                holder.emplace(m_db.lockTable(table));
            QProcess process;
            // One connection, whose rows in are the file's first lines.
            QStringList rest{"--jobs=1", "--append", table, path};
            if (way == Way::RowByRow)
                rest.prepend("--row-by-row");
            start(process, rest);
            if (!lockFirst) {
                ASSERT_TRUE(waitFor([&] { return m_db.count(table) > 0; }));
                holder.emplace(m_db.lockTable(table));
            }
            ASSERT_TRUE(waitFor([&] { return m_db.waitingLocks() > 0; })) << "the run waits";
            QElapsedTimer clock;
            clock.start();
            interrupt(process);
            ASSERT_TRUE(process.waitForFinished(10000));
            // The lock stays until the test lets it go: the bound tells a stop at once (the
            // grace, the cancel, the process's end, slow under sanitizers) from a wait for it.
            EXPECT_LT(clock.elapsed(), 3000) << "stopped at once, not when the lock goes";
            EXPECT_EQ(process.exitCode(), 130);
            const QString out = QString::fromUtf8(process.readAllStandardOutput());
            const qint64 rows = importStoppedRows(out);
            ASSERT_GE(rows, 0) << out.toStdString();
            EXPECT_EQ(process.readAllStandardError(), QByteArray()) << "no error reported";
            EXPECT_EQ(rows > 0, !lockFirst);

            // The statements queued behind the cancelled one are never run.
            ASSERT_TRUE(waitFor([&] { return m_db.waitingLocks() == 0; }));
            holder->execute("ROLLBACK");
            EXPECT_EQ(m_db.rows(QStringLiteral("SELECT count(*), coalesce(min(n::int), 0), "
                                               "coalesce(max(n::int), 0) FROM %1")
                                    .arg(table)),
                      QStringList{QStringLiteral("%1|%2|%1").arg(rows).arg(rows > 0 ? 1 : 0)})
                << "exactly the rows the message counts";
        }
    }
}

// The same with long lines, row by row: the statements queued behind the cancelled one are
// more than the server's socket takes while it waits for the lock. Once the program has gone,
// none of them waits for the lock (the server learns at once that the client is gone).
TEST_F(CommandLineStopTest, CtrlCLeavesNoStatementWaitingBehindALock) {
    QByteArray bytes = "n,t\n";
    for (int i = 1; i <= 50000; ++i)
        bytes += QByteArray::number(i) + ',' + QByteArray(2000, 'y') + '\n';
    const QString path = file("long.csv", bytes);
    m_db.execute("CREATE TABLE t(n TEXT, t TEXT)");
    QProcess process;
    start(process, {"--row-by-row", "--append", "t", path});
    ASSERT_TRUE(waitFor([&] { return m_db.count("t") > 0; }));
    Connection holder = m_db.lockTable("t");
    ASSERT_TRUE(waitFor([&] { return m_db.waitingLocks() > 0; })) << "the run waits";
    interrupt(process);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 130);
    const qint64 rows = importStoppedRows(QString::fromUtf8(process.readAllStandardOutput()));
    EXPECT_TRUE(waitFor([&] { return m_db.waitingLocks() == 0; }, 5000))
        << "a statement of the program waits for the lock after the program ended";
    holder.execute("ROLLBACK");
    EXPECT_EQ(m_db.count("t"), rows) << "exactly the rows the message counts";
}

// A server whose backend stops answering altogether (stopped by SIGSTOP in the middle of a
// file): the first Ctrl+C gives the connection up within a few seconds, and the server, once
// it goes on, keeps nothing it had not committed.
TEST_F(CommandLineStopTest, CtrlCGivesUpABackendThatStoppedAnswering) {
    const QString path = file("lines.csv", numberedLines(2000000));
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        const QString table = rowByRow ? QStringLiteral("r1") : QStringLiteral("c1");
        QProcess process;
        // One connection: one backend to stop.
        QStringList rest{"--jobs=1", "--create", table.left(1) + "[counter]", path};
        if (rowByRow)
            rest.prepend("--row-by-row");
        start(process, rest);
        ASSERT_TRUE(waitFor([&] { return m_db.count(table) > 0; }));
        const QStringList backends = m_db.backends();
        ASSERT_EQ(backends.size(), 1);
        const pid_t backend = backends[0].toInt();
        ASSERT_EQ(::kill(backend, SIGSTOP), 0);
        QThread::msleep(300);
        QElapsedTimer clock;
        clock.start();
        interrupt(process);
        const bool ended = process.waitForFinished(15000);
        ::kill(backend, SIGCONT);
        ASSERT_TRUE(ended);
        EXPECT_LT(clock.elapsed(), 6000) << "given up within a few seconds";
        EXPECT_EQ(process.exitCode(), 130);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const qint64 rows = importStoppedRows(out);
        ASSERT_GE(rows, 0) << out.toStdString();
        ASSERT_TRUE(waitFor([&] {
            return m_db.column(
                       QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1")
                           .arg(backend)) == QStringList{"0"};
        })) << "the backend ends once it goes on";
        const QStringList in = m_db.rows(
            QStringLiteral("SELECT count(*), min(n::int), max(n::int) FROM %1").arg(table));
        ASSERT_EQ(in.size(), 1);
        const QStringList values = in[0].split(QLatin1Char('|'));
        // A COMMIT the backend had taken in before it stopped ends when it goes on: the
        // message cannot have counted that one chunk.
        EXPECT_GE(values[0].toLongLong(), rows);
        EXPECT_LE(values[0].toLongLong(), rows + 65536);
        EXPECT_EQ(values[1], QStringLiteral("1"));
        EXPECT_EQ(values[2], values[0]) << "the first lines, no gap";
    }
}

// On a terminal, standard error carries one progress line rewritten in place, ending at the
// rows imported, and wiped before the closing message.
TEST_F(CommandLineStopTest, ProgressLineOnATerminal) {
    const QString path = file("lines.csv", numberedLines(10000));
    QString command = QStringLiteral(QUENMARL_CLI_PATH);
    for (const QString& argument : arguments({"--create", "T[counter]", path}))
        command += QStringLiteral(" '") + argument + QLatin1Char('\'');
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    process.setProcessEnvironment(environment);
    // script(1) runs the command on a pseudo-terminal and copies what it shows.
    process.start(QStringLiteral("script"), {"-qec", command, "/dev/null"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());

    EXPECT_TRUE(shown.startsWith(QStringLiteral("\rFile 1 of 1: lines.csv  0 rows sent")))
        << shown.toStdString();
    const QString last = QStringLiteral("\rFile 1 of 1: lines.csv  10,000 rows sent");
    const qsizetype end = shown.lastIndexOf(last);
    ASSERT_GE(end, 0) << shown.toStdString();
    const qsizetype wipe = shown.indexOf(QLatin1Char('\r'), end + 1);
    ASSERT_GT(wipe, end);
    EXPECT_EQ(shown.mid(wipe).remove(QLatin1Char(' ')), QStringLiteral("\r\rDone.\r\n"))
        << "the line is blanked, then the message starts at the left";
    EXPECT_FALSE(shown.contains(QLatin1Char('\n')) && shown.indexOf('\n') < wipe)
        << "one line, never a new one";
}
