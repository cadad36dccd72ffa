#include "database/Connection.h"
#include "import/ProgressMeter.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// quenmarl-cli against a fresh database with a settings store of its own.
class CommandLineStopTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        return writeTestFile(m_dir, name, bytes);
    }

    QStringList arguments(const QStringList& rest) const {
        const ConnectionSettings s = m_db.settings();
        return QStringList{"--server", s.server,     "--port",   s.port,       "--user",
                           s.user,     "--password", s.password, "--database", s.database} +
               rest;
    }

    void start(QProcess& process, const QStringList& rest) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUENMARL_CLI_PATH), arguments(rest));
        ASSERT_TRUE(process.waitForStarted());
    }

    void interrupt(QProcess& process) { ::kill(static_cast<pid_t>(process.processId()), SIGINT); }

    // The rows of a table, 0 while it does not exist yet.
    qint64 count(const QString& table) const {
        if (m_db.column(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(table)) ==
            QStringList{"t"})
            return 0;
        return m_db.column(QStringLiteral("SELECT count(*) FROM %1").arg(table))
            .value(0)
            .toLongLong();
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    TestDatabase m_db;
};

} // namespace

// Ctrl+C once rows are in: the run stops after the rows in flight, says what it imported and
// exits with 130; the table holds exactly the first lines it names.
TEST_F(CommandLineStopTest, CtrlCStopsAfterTheRowsInFlight) {
    const int lines = 600000;
    const QString big = file("big.csv", numberedLines(lines));
    const QString second = file("second.csv", numberedLines(3));
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        const QString table = rowByRow ? QStringLiteral("r1") : QStringLiteral("c1");
        QProcess process;
        QStringList rest{"--create", table.left(1) + "[counter]", big, second};
        if (rowByRow)
            rest.prepend("--row-by-row");
        start(process, rest);
        ASSERT_TRUE(
            waitFor([&] { return count(table) > 0 || process.state() != QProcess::Running; }));
        ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before rows were in";
        interrupt(process);
        ASSERT_TRUE(process.waitForFinished(60000));

        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QRegularExpressionMatch match =
            QRegularExpression(
                QStringLiteral("^Import stopped\\. 0 file\\(s\\) and ([\\d,]+) row\\(s\\) were "
                               "imported\\.\\n$"))
                .match(out);
        ASSERT_TRUE(match.hasMatch()) << out.toStdString();
        const qint64 rows = match.captured(1).remove(QLatin1Char(',')).toLongLong();
        EXPECT_EQ(match.captured(1), groupedCount(rows)) << "grouped as the progress line is";
        EXPECT_GT(rows, 0);
        EXPECT_LT(rows, lines);
        EXPECT_EQ(
            m_db.rows(
                QStringLiteral("SELECT count(*), min(n::int), max(n::int) FROM %1").arg(table)),
            QStringList{QStringLiteral("%1|1|%1").arg(rows)})
            << "exactly the first lines, as many as the message says";
        EXPECT_EQ(count(table.left(1) + "2"), 0) << "the next file is not begun";
        EXPECT_EQ(m_db.column(QStringLiteral("SELECT to_regclass('%1')").arg(table.left(1) + "2")),
                  QStringList{"<NULL>"});
        EXPECT_EQ(process.readAllStandardError(), QByteArray())
            << "no progress line where standard error is no terminal";
    }
}

// A run held up by the server: the first Ctrl+C waits for the statement in flight, a second one
// ends the program at once, and the server keeps nothing of the unfinished transaction.
TEST_F(CommandLineStopTest, SecondCtrlCEndsAtOnce) {
    m_db.execute("CREATE TABLE target(n TEXT, t TEXT)");
    const QString path = file("lines.csv", numberedLines(1000));
    Connection holder = Connection::open(m_db.settings());
    holder.execute("BEGIN");
    holder.execute("LOCK TABLE target IN ACCESS EXCLUSIVE MODE");

    QProcess process;
    start(process, {"--append", "target", path});
    ASSERT_TRUE(waitFor([&] {
        return m_db.column("SELECT count(*) FROM pg_locks WHERE NOT granted") != QStringList{"0"};
    })) << "the run waits for the lock";
    interrupt(process);
    EXPECT_FALSE(process.waitForFinished(500)) << "the first Ctrl+C lets the statement end";
    interrupt(process);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(process.readAllStandardOutput().contains("Import stopped"));

    holder.execute("ROLLBACK");
    EXPECT_EQ(m_db.column("SELECT count(*) FROM target"), QStringList{"0"});
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
