#include "database/Connection.h"
#include "support/CommandLineKit.h"
#include "support/DelayLine.h"
#include "support/PrivateCluster.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

// quenmarl-cli appending a numbered file to a table of a private cluster that the test crashes
// and restarts under it.
class CrashResumeTest : public ::testing::Test {
protected:
    explicit CrashResumeTest(QStringList options = PrivateCluster::commitWaitsBeforeFlush())
        : m_cluster(std::move(options)) {
        m_cluster.execute("postgres", "CREATE DATABASE x");
        m_cluster.execute("x", "CREATE TABLE t(n int, t text)");
    }

    // The program appends the file; with a delay, through a relay that delays each direction
    // by that many milliseconds, as a server far away.
    void start(int lines, int delayMilliseconds = 0) {
        m_lines = lines;
        const QString path = writeTestFile(m_dir, "lines.csv", numberedLines(lines));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", m_config.path());
        environment.remove("QUENMARL_RECONNECT_SECONDS"); // the bound users get: 30 s
        m_process.setProcessEnvironment(environment);
        ConnectionSettings s = m_cluster.settings("x");
        if (delayMilliseconds > 0) {
            m_relay = std::make_unique<DelayLine>(s.server, s.port, delayMilliseconds);
            s.server = QStringLiteral("127.0.0.1");
            s.port = m_relay->port();
        }
        m_process.start(QUENMARL_CLI_PATH,
                        {"--server", s.server, "--port", s.port, "--user", s.user, "--password", "",
                         "--database", s.database, "--append", "t", path});
        ASSERT_TRUE(m_process.waitForStarted());
    }

    // Waits until the program's backend is at the moment given (Committing, Streaming), asked
    // over a connection of the test's own as often as it can; false when the program ended or
    // a minute passed first.
    enum class Moment {
        // A chunk's commit waits for the flush of its WAL: its COPY is over (a COPY
        // committed by a COMMIT of its own is not waited for).
        Committing,
        Streaming, // a COPY takes data
    };
    bool awaitStatement(Moment moment) {
        const QString query =
            QStringLiteral("SELECT coalesce(max(backend_xid::text::bigint), -1) FROM "
                           "pg_stat_activity a WHERE datname = 'x' AND state = 'active' AND "
                           "query LIKE '%COPY%FROM STDIN' AND pid <> pg_backend_pid() AND %1 "
                           "EXISTS (SELECT FROM pg_stat_progress_copy p WHERE p.pid = a.pid)")
                .arg(moment == Moment::Committing ? "NOT" : "");
        std::optional<Connection> watcher;
        return waitFor(
                   [&] {
                       // Lets QProcess notice an end: it has no event loop here.
                       if (m_process.waitForFinished(1) || m_process.state() != QProcess::Running)
                           return true;
                       try {
                           if (!watcher)
                               watcher.emplace(Connection::open(m_cluster.settings("x")));
                           m_xid = watcher->query(query).value(0, 0).toLongLong();
                           return m_xid >= 0;
                       } catch (const DatabaseError&) {
                           watcher.reset(); // the server restarts after the last crash
                           return false;
                       }
                   },
                   60000) &&
               m_process.state() == QProcess::Running;
    }

    // While the program can't reach the server, another client takes transaction ids until it
    // is past the one the program's backend had at the crash (m_xid). True when that very id
    // was handed out again: it never reached the WAL on disk before the crash.
    bool takeTransactionIds() {
        m_cluster.start(PrivateCluster::Folder::Side);
        ConnectionSettings side = m_cluster.settings("x");
        side.server.replace("/main", "/side");
        Connection other = Connection::open(side);
        bool reused = false;
        for (int i = 0; i < 10000; ++i) {
            const qint64 id =
                other.query("SELECT txid_current()").value(0, 0).toLongLong() % (qint64(1) << 32);
            reused = reused || id == m_xid;
            if (id > m_xid)
                break;
        }
        other.close();
        m_cluster.stop("fast");
        return reused;
    }

    struct Outcome {
        int exitCode = -1;
        QString out;
        QString err;
    };
    Outcome finish() {
        Outcome outcome;
        EXPECT_TRUE(m_process.state() == QProcess::NotRunning || m_process.waitForFinished(240000));
        outcome.exitCode = m_process.exitCode();
        outcome.out = QString::fromUtf8(m_process.readAllStandardOutput());
        outcome.err = withoutSummary(QString::fromUtf8(m_process.readAllStandardError()));
        return outcome;
    }

    // Crashes the server at each moment given and keeps it away that many seconds; then every
    // line is in once, and the run says it is done.
    void crashAndWait(const std::vector<std::pair<int, Moment>>& crashes) {
        for (const auto& [seconds, statement] : crashes) {
            SCOPED_TRACE(seconds);
            ASSERT_TRUE(awaitStatement(statement))
                << m_process.readAllStandardError().toStdString();
            m_cluster.stop();
            QThread::sleep(seconds);
            m_cluster.start();
        }
        const Outcome outcome = finish();
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out, "Done.\n");
        expectEveryLineOnce();
    }

    void expectEveryLineOnce() {
        EXPECT_EQ(m_cluster.value("x", "SELECT count(*) || '|' || count(DISTINCT n) FROM t"),
                  QStringLiteral("%1|%1").arg(m_lines))
            << "no row twice, none lost";
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    PrivateCluster m_cluster;
    QProcess m_process;
    std::unique_ptr<DelayLine> m_relay; // between the program and the server, when far
    int m_lines = 0;
    qint64 m_xid = -1; // the transaction id of the statement awaitStatement() found
};

} // namespace

// The server crashes while a chunk's commit waits for its WAL flush, and another client takes
// the transaction id the chunk had (it never reached the disk); the server crashes again while
// COPY data streams, and once more at a commit without another client. The program learns each
// time from evidence of its own whether its chunk committed: every line goes in once.
TEST_F(CrashResumeTest, NoChunkIsTakenForCommittedOnAReusedTransactionId) {
    start(2000000);
    struct Crash {
        Moment statement; // what the program's backend does at the crash
        bool otherClient; // another client takes transaction ids before the program is back
    };
    const Crash crashes[] = {
        {Moment::Committing, true},
        {Moment::Streaming, false},
        {Moment::Committing, false},
        {Moment::Committing, true},
    };
    for (const Crash& crash : crashes) {
        SCOPED_TRACE(crash.statement == Moment::Committing ? "committing" : "streaming");
        // The WAL writer wakes every 10 s and may write a chunk's records out, and its
        // transaction id with them: the crash is then taken again at a later chunk.
        bool reused = false;
        for (int attempt = 0; attempt < (crash.otherClient ? 3 : 1) && !reused; ++attempt) {
            ASSERT_TRUE(awaitStatement(crash.statement))
                << "the run went on long enough: "
                << m_process.readAllStandardError().toStdString();
            m_cluster.stop();
            reused = crash.otherClient && takeTransactionIds();
            m_cluster.start();
        }
        EXPECT_EQ(reused, crash.otherClient) << "the chunk's transaction id was handed out again";
    }
    const Outcome outcome = finish();
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Done.\n");
    expectEveryLineOnce();
}

// The server is away for 3 s after a crash during a commit (the chunk's transaction id is then
// one the server has not yet handed out), then for 20 s after a crash while COPY data streams
// (and the seconds its recovery takes, longer when several connections were loading): the run
// waits up to its bound of 30 s, whatever the server says meanwhile, and every line goes in.
TEST_F(CrashResumeTest, AServerBackWithinTheBoundCostsNoLine) {
    start(3000000);
    crashAndWait({{3, Moment::Committing}, {20, Moment::Streaming}});
}

// The same through a relay of 2 ms each way, as a server far away, with shorter absences.
TEST_F(CrashResumeTest, AServerFarAwayBackWithinTheBoundCostsNoLine) {
    start(3000000, 2);
    crashAndWait({{3, Moment::Committing}, {5, Moment::Streaming}});
}

// Away for 40 s: the run gives up after its bound of 30 s with one message that names the lines
// not sent; the rows in and the lines named add up to the file.
TEST_F(CrashResumeTest, AServerAwayLongerThanTheBoundIsNamedOnce) {
    start(2000000);
    ASSERT_TRUE(awaitStatement(Moment::Streaming));
    m_cluster.stop();
    QElapsedTimer away;
    away.start();
    const bool ended = m_process.waitForFinished(40000);
    const qint64 gaveUpAfter = away.elapsed();
    m_cluster.start();
    ASSERT_TRUE(ended) << "the run gave up";
    EXPECT_GE(gaveUpAfter, 30000) << "it waited its whole bound";
    const Outcome outcome = finish();
    EXPECT_EQ(outcome.exitCode, 1);
    // Over several connections the message names the stretch each range left.
    EXPECT_EQ(outcome.err.count(QRegularExpression(
                  QStringLiteral("were not sent(, [^:\\n]*)?: the connection to the server was "
                                 "lost and not regained within 30 s\\."))),
              1)
        << outcome.err.toStdString();
    QStringList numbers;
    {
        Connection reader = Connection::open(m_cluster.settings("x"));
        const Result rows = reader.query("SELECT n FROM t");
        for (int row = 0; row < rows.rowCount(); ++row)
            numbers << rows.value(row, 0);
    }
    expectLinesAccounted(numbers, m_lines, 0, outcome.err, "lines.csv");
}
