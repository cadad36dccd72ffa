// SIGTERM and SIGHUP, sent to the real quenmarl-cli as job runners and terminals send them, stop
// a run as Ctrl+C does; a second signal of any kind ends the program at once.
#include "database/Connection.h"
#include "import/ProgressMeter.h"
#include "shell/NumberText.h"
#include "support/CommandLineKit.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CommandLineSignalTest : public CommandLineFixture {
protected:
    // The closing line of a run that a signal stopped, checked against the table: the rows it
    // counts are exactly the table's rows, the first lines of the file without a gap.
    // Over one connection the rows in are the file's first lines; over several, each range's
    // first lines, and still none twice.
    qint64 expectStoppedAsCounted(QProcess& process, int exitCode, const QString& table,
                                  bool oneConnection = true) {
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "the signal did not kill it";
        EXPECT_EQ(process.exitCode(), exitCode);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const StoppedCounts counts = importStopped(out);
        EXPECT_GE(counts.rows, 0) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral(" and %1 row").arg(groupedCount(counts.rows))))
            << "grouped as the progress line is";
        if (oneConnection)
            EXPECT_EQ(m_db.rows(QStringLiteral("SELECT count(*), coalesce(min(n::int), 0), "
                                               "coalesce(max(n::int), 0) FROM %1")
                                    .arg(table)),
                      QStringList{
                          QStringLiteral("%1|%2|%1").arg(counts.rows).arg(counts.rows > 0 ? 1 : 0)})
                << "exactly the first lines, as many as the message says";
        else
            EXPECT_EQ(
                m_db.rows(QStringLiteral("SELECT count(*), count(DISTINCT n) FROM %1").arg(table)),
                QStringList{QStringLiteral("%1|%1").arg(counts.rows)})
                << "as many rows as the message says, none twice";
        EXPECT_EQ(process.readAllStandardError(), QByteArray()) << "no error reported";
        return counts.rows;
    }
};

} // namespace

// SIGTERM (what timeout, systemd and cron send) and SIGHUP while rows go in, by COPY and row by
// row, over one connection and over four: the run stops after the rows in flight on every
// connection, counts them exactly and exits with 128 + the signal; the next file is not begun.
TEST_F(CommandLineSignalTest, TermAndHangupStopAfterTheRowsInFlight) {
    const int lines = 2000000;
    const QString big = file("big.csv", numberedLines(lines));
    const QString second = file("second.csv", numberedLines(3));
    const struct {
        const char* name;
        int signal;
        bool rowByRow;
        int exitCode;
        const char* jobs;
    } cases[] = {
        {"SIGTERM while COPY chunks go in", SIGTERM, false, 143, "1"},
        {"SIGTERM while row statements go in", SIGTERM, true, 143, "1"},
        {"SIGHUP while COPY chunks go in", SIGHUP, false, 129, "1"},
        {"SIGTERM while ranges go in over four connections", SIGTERM, false, 143, "4"},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString prefix = QStringLiteral("s%1_").arg(++run);
        const QString table = prefix + QStringLiteral("1");
        QProcess process;
        QStringList rest{"--jobs", c.jobs, "--create", prefix + "[counter]", big, second};
        if (c.rowByRow)
            rest.prepend("--row-by-row");
        start(process, rest);
        ASSERT_TRUE(
            waitFor([&] { return m_db.count(table) > 0 || process.state() != QProcess::Running; }));
        ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before rows were in";
        interrupt(process, c.signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        const qint64 rows =
            expectStoppedAsCounted(process, c.exitCode, table, c.jobs == QLatin1String("1"));
        EXPECT_GT(rows, 0);
        EXPECT_LT(rows, lines);
        EXPECT_EQ(m_db.column(QStringLiteral("SELECT to_regclass('%1')").arg(prefix + "2")),
                  QStringList{"<NULL>"})
            << "the next file is not begun";
    }
}

// SIGTERM while two files go side by side, the second sent ahead over a connection of its own
// (its table made, which is the first thing its sending does): both stop after their rows in
// flight, each file begun still has its turn, and the closing line counts the rows of all of
// them. At most one file more than those begun when the signal was sent may have begun by the
// time it was taken (the one going beside the turn's), never two. (The second file's rows may
// show only at its end: a connection whose first COPY started slowly takes chunks long enough
// for the whole file.)
TEST_F(CommandLineSignalTest, TermWhileFilesGoSideBySideCountsTheRowsOfBoth) {
    constexpr int Count = 6;
    QStringList files;
    for (int k = 1; k <= Count; ++k)
        files << file(QStringLiteral("f%1.csv").arg(k), numberedLines(400000));
    const auto made = [&](int k) {
        return m_db.column(QStringLiteral("SELECT to_regclass('p%1')").arg(k)) !=
               QStringList{"<NULL>"};
    };
    QProcess process;
    start(process, QStringList{"--jobs", "2", "--create", "p[counter]"} + files);
    ASSERT_TRUE(waitFor(
        [&] { return (m_db.count("p1") > 0 && made(2)) || process.state() != QProcess::Running; }));
    int begun = 2;
    while (begun < Count && made(begun + 1))
        ++begun;
    ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before both files went";
    interrupt(process, SIGTERM);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 143);
    const StoppedCounts counts = importStopped(QString::fromUtf8(process.readAllStandardOutput()));
    qint64 rows = 0;
    for (int k = 1; k <= Count; ++k)
        rows += made(k) ? m_db.count(QStringLiteral("p%1").arg(k)) : 0;
    EXPECT_EQ(counts.rows, rows) << "every row in is counted";
    if (begun + 2 <= Count) {
        EXPECT_FALSE(made(begun + 2)) << begun << " files were begun at the signal";
    }
    EXPECT_EQ(process.readAllStandardError(), QByteArray()) << "no error reported";
}

// SIGTERM while a big file's field counts are checked, once the program has logged in and
// listed the tables (the check begins while it logs in; a signal before that ends it at once,
// nothing begun): the check stops there, the file is not begun (no table is made) and the run
// closes at once, rather than after reading the file to its end and making its table.
TEST_F(CommandLineSignalTest, TermWhileTheFieldCountsAreCheckedBeginsNothing) {
    // Each line holds a letter beyond ASCII, so that the check reads it on its own (plain ASCII
    // lines are passed over many at a time) and lasts long enough to be signalled.
    const QString path = file("big.csv", "n,t\n" + QByteArray("1,\xC3\xA9\n").repeated(30000000));
    QProcess process;
    start(process, {"--jobs", "1", "--create", "checked", path});
    const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
    const auto reading = [&] {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System))
            if (fd.symLinkTarget() == QFileInfo(path).canonicalFilePath())
                return true;
        return false;
    };
    const auto listed = [&] {
        return m_db.column("SELECT count(*) FROM pg_stat_activity WHERE pid <> pg_backend_pid() "
                           "AND query LIKE '%SELECT shown FROM%'") != QStringList{"0"};
    };
    ASSERT_TRUE(
        waitFor([&] { return (reading() && listed()) || process.state() != QProcess::Running; }));
    ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before the file was read";
    interrupt(process, SIGTERM);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 143);
    EXPECT_EQ(process.readAllStandardOutput(),
              QByteArray("Import stopped. 0 file(s) and 0 row(s) were imported.\n"));
    EXPECT_EQ(m_db.column("SELECT to_regclass('checked')"), QStringList{"<NULL>"});
}

// SIGTERM before the first row is in: the run's first statement (the append's column count)
// waits for a lock another connection holds. The statement is cancelled at once and nothing is
// sent.
TEST_F(CommandLineSignalTest, TermBeforeTheFirstRowSendsNothing) {
    const QString path = file("lines.csv", numberedLines(1000));
    m_db.execute("CREATE TABLE t(n TEXT, t TEXT)");
    Connection holder = m_db.lockTable("t");
    QProcess process;
    start(process, {"--append", "t", path});
    ASSERT_TRUE(waitFor([&] { return m_db.waitingLocks() > 0; })) << "the run waits";
    QElapsedTimer clock;
    clock.start();
    interrupt(process, SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 3000) << "stopped at once, not when the lock goes";
    holder.execute("ROLLBACK");
    EXPECT_EQ(expectStoppedAsCounted(process, 143, "t"), 0);
}

// SIGTERM between two files: the first is in, the second (a named pipe) waits for its data.
// The first file counts as imported, the second is not begun.
TEST_F(CommandLineSignalTest, TermBetweenTwoFiles) {
    const QString first = file("first.csv", numberedLines(1000));
    const QString fifo = m_dir.filePath("second");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess process;
    start(process, {"--create", "f[counter]", first, fifo});
    // A writer can open the pipe without waiting only once the program has it open for its
    // turn, that is once the first file is over. The writer then stays and writes nothing.
    int writer = -1;
    ASSERT_TRUE(waitFor([&] {
        writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        return writer >= 0 || process.state() != QProcess::Running;
    }));
    ASSERT_GE(writer, 0) << "the run ended before the second file's turn";
    interrupt(process, SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    ::close(writer);
    EXPECT_EQ(process.exitCode(), 143);
    EXPECT_EQ(process.readAllStandardOutput(),
              QByteArray("Import stopped. 1 file(s) and 1,000 row(s) were imported.\n"));
    EXPECT_EQ(process.readAllStandardError(), QByteArray());
    EXPECT_EQ(m_db.count("f1"), 1000);
    EXPECT_EQ(m_db.column("SELECT to_regclass('f2')"), QStringList{"<NULL>"});
}

// A second signal, of another kind than the first, ends the program at once while the first
// stop still waits for a backend that stopped answering (SIGSTOP); the server then keeps only
// whole chunks, the first lines without a gap.
TEST_F(CommandLineSignalTest, ASecondSignalOfAnyKindEndsTheProgramAtOnce) {
    const QString path = file("lines.csv", numberedLines(2000000));
    const struct {
        const char* name;
        int first;
        int second;
    } cases[] = {
        {"SIGTERM, then Ctrl+C", SIGTERM, SIGINT},
        {"Ctrl+C, then SIGHUP", SIGINT, SIGHUP},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString table = QStringLiteral("k%1").arg(++run);
        QProcess process;
        start(process, {"--jobs=1", "--create", table, path}); // one backend to stop
        ASSERT_TRUE(waitFor([&] { return m_db.count(table) > 0; }));
        const QStringList pids = m_db.backends();
        ASSERT_EQ(pids.size(), 1);
        const pid_t backend = pids[0].toInt();
        ASSERT_EQ(::kill(backend, SIGSTOP), 0);
        QThread::msleep(300);
        interrupt(process, c.first);
        QThread::msleep(200);
        ASSERT_EQ(process.state(), QProcess::Running) << "the first stop waits for the backend";
        QElapsedTimer clock;
        clock.start();
        interrupt(process, c.second);
        const bool ended = process.waitForFinished(10000);
        ::kill(backend, SIGCONT);
        ASSERT_TRUE(ended);
        EXPECT_LT(clock.elapsed(), 1000) << "at once, not after the first stop's wait";
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(process.exitCode(), c.second) << "ended by the second signal";
        EXPECT_EQ(process.readAllStandardOutput(), QByteArray());
        ASSERT_TRUE(waitFor([&] { return m_db.backends().isEmpty(); })) << "the backend ends";
        const QStringList in = m_db.rows(
            QStringLiteral("SELECT count(*), min(n::int), max(n::int) FROM %1").arg(table));
        ASSERT_EQ(in.size(), 1);
        const QStringList values = in[0].split(QLatin1Char('|'));
        EXPECT_EQ(values[1], QStringLiteral("1"));
        EXPECT_EQ(values[2], values[0]) << "the first lines, no gap";
    }
}
