#include "database/Connection.h"
#include "shell/NumberText.h"
#include "support/CommandLineKit.h"
#include "support/DelayLine.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace {

// A TCP relay between the program and the test server that cuts the first connection that
// carries a commit right after it relayed it (a COMMIT, or the end of a COPY's data, which
// commits a COPY that is its own transaction): the program loses the answer of a commit the
// server still carries out. Every later connection is relayed whole.
class CommitCutter {
public:
    explicit CommitCutter(int serverPort)
        : m_serverPort(serverPort) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 16);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~CommitCutter() {
        m_done = true;
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }
    bool cut() const { return m_cut; }

private:
    static int connectTo(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void serve() {
        std::vector<std::thread> relays;
        while (!m_done) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (::poll(&waiting, 1, 50) != 1)
                continue;
            const int client = ::accept(m_listener, nullptr, nullptr);
            const int server = connectTo(m_serverPort);
            relays.emplace_back([this, client, server] { relay(client, server); });
        }
        for (std::thread& relay : relays)
            relay.join();
    }

    void relay(int client, int server) {
        QByteArray seen; // the tail of what the client sent, to find a commit across reads
        char buffer[65536];
        while (!m_done && server >= 0) {
            pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(ends, 2, 50) <= 0)
                continue;
            bool closed = false;
            for (int i = 0; i < 2 && !closed; ++i) {
                if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t got = ::read(ends[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    closed = true;
                    break;
                }
                const int to = i == 0 ? server : client;
                for (ssize_t sent = 0; sent < got;) {
                    const ssize_t wrote = ::write(to, buffer + sent, got - sent);
                    if (wrote <= 0)
                        break;
                    sent += wrote;
                }
                if (i == 0 && !m_cut) {
                    seen = (seen + QByteArray(buffer, got)).right(64);
                    const bool commit = seen.contains(QByteArrayLiteral("COMMIT\0")) ||
                                        seen.contains(QByteArrayLiteral("c\0\0\0\4"));
                    if (commit && !m_cut.exchange(true)) {
                        ::shutdown(client, SHUT_RDWR); // the answer never reaches the program
                        std::this_thread::sleep_for(std::chrono::milliseconds(300));
                        closed = true;
                    }
                }
            }
            if (closed)
                break;
        }
        ::close(client);
        if (server >= 0)
            ::close(server);
    }

    int m_serverPort;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_cut{false};
    std::thread m_thread;
};

// Each test runs against the server on loopback and against it far away: through a relay that
// delays each direction by 2 ms, so that what the program sends ahead of an answer is on its
// way when the connection is lost.
class CommandLineReconnectTest : public CommandLineFixture,
                                 public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        if (GetParam() == 0)
            return;
        m_relay =
            std::make_unique<DelayLine>(m_db.settings().server, m_db.settings().port, GetParam());
        ASSERT_FALSE(m_relay->port().isEmpty());
        m_port = m_relay->port();
    }

    // The port the program reaches the server at.
    int serverPort() const { return (m_port.isEmpty() ? m_db.settings().port : m_port).toInt(); }

    // Ends the program's backends, asked of another database (this one may refuse
    // connections).
    void endBackends() {
        Connection::open(TestServer::get().settings(QStringLiteral("postgres")))
            .execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                    "datname = '%1' AND backend_type = 'client backend' AND pid "
                                    "<> pg_backend_pid()")
                         .arg(m_db.name()));
    }

    // Ends the program's backends once rows are in, as often as asked, each time once more
    // rows went in.
    void endBackendsWhileRowsGoIn(const QString& table, int times) {
        qint64 before = 0;
        for (int time = 0; time < times; ++time) {
            ASSERT_TRUE(waitFor([&] { return m_db.count(table) > before; }));
            before = m_db.count(table);
            endBackends();
        }
    }

    // Asked of another database: a database can't refuse connections to itself.
    void allowConnections(bool allow) {
        Connection::open(TestServer::get().settings(QStringLiteral("postgres")))
            .execute(QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS %2")
                         .arg(m_db.name(), allow ? "true" : "false"));
    }

    // Every row of the table once, as many as the file has data lines less those reported.
    void expectEveryLineOnce(const QString& table, int lines, qint64 reported) {
        EXPECT_EQ(
            m_db.rows(QStringLiteral("SELECT count(*), count(DISTINCT n) FROM %1").arg(table)),
            QStringList{QStringLiteral("%1|%1").arg(lines - reported)})
            << "no row twice, none lost";
    }

    // Every data line of the numbered file is accounted for (expectLinesAccounted()), and no
    // row is in twice. Returns how many messages named lines in doubt.
    int expectAccounted(const QString& table, int lines, int badEvery, const QString& err) {
        EXPECT_EQ(
            m_db.rows(QStringLiteral("SELECT count(*) - count(DISTINCT n) FROM %1").arg(table)),
            QStringList{"0"})
            << "no row twice";
        return expectLinesAccounted(m_db.column(QStringLiteral("SELECT n FROM %1").arg(table)),
                                    lines, badEvery, err, "lines.csv");
    }

    std::unique_ptr<DelayLine> m_relay; // between the program and the server, when far
};

} // namespace

// Backends ended twice in the middle of a file, by COPY, row by row and in groups of lines (a
// statement trigger rules COPY out), with bad values among the lines: every good line is in
// once, every bad one is reported once, and nothing else is said.
TEST_P(CommandLineReconnectTest, EndedBackendsCostNoLineAndNoRowTwice) {
    const int badEvery = 9973;
    enum class Way { Copy, RowByRow, Grouped };
    for (const Way way : {Way::Copy, Way::RowByRow, Way::Grouped}) {
        SCOPED_TRACE(way == Way::Copy ? "copy" : way == Way::RowByRow ? "row by row" : "grouped");
        // Enough lines that the run is still sending when its backend is ended twice: row by
        // row the statements are pipelined.
        const int lines = way == Way::RowByRow ? 40000 : way == Way::Grouped ? 100000 : 200000;
        const QString path = file("lines.csv", numberedLines(lines, badEvery));
        const QString table = way == Way::Copy ? "c" : way == Way::RowByRow ? "r" : "g";
        m_db.execute(QStringLiteral("CREATE TABLE %1(n int, t varchar(8))").arg(table));
        if (way == Way::Grouped)
            m_db.execute("CREATE FUNCTION nothing() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                         "RETURN NULL; END$$; CREATE TRIGGER s AFTER INSERT ON g EXECUTE "
                         "FUNCTION nothing()");
        QProcess process;
        QStringList rest{"--append", table, path};
        if (way == Way::RowByRow)
            rest.prepend("--row-by-row");
        start(process, rest);
        endBackendsWhileRowsGoIn(table, 2);
        const Outcome outcome = finishRun(process);

        EXPECT_FALSE(outcome.err.contains(QStringLiteral("not sent")));
        EXPECT_EQ(outcome.exitCode, 1);
        const int inDoubt = expectAccounted(table, lines, badEvery, outcome.err);
        // COPY and groups settle every transaction by its marker; row by row, the lines whose
        // answers the server held back when it was ended are named, at most one range for
        // each end.
        if (way == Way::RowByRow)
            EXPECT_LE(inDoubt, 2);
        else
            EXPECT_EQ(inDoubt, 0);
    }
}

// The answer to a commit lost on its way back while the server carried it out: the program
// asks the server, finds the chunk committed and goes on after it, instead of sending it again,
// and counts its rows among those imported (the last line, too long, has the closing line
// count them).
TEST_P(CommandLineReconnectTest, ACommitWhoseAnswerWasLostIsNotSentAgain) {
    const int server = serverPort();
    // By COPY, and in groups of lines (a statement trigger rules COPY out).
    m_db.execute("CREATE TABLE t(n int, t varchar(8)); CREATE TABLE g(n int, t varchar(8)); "
                 "CREATE FUNCTION "
                 "nothing() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RETURN NULL; END$$; "
                 "CREATE TRIGGER s AFTER INSERT ON g EXECUTE FUNCTION nothing()");
    for (const QString table : {"t", "g"}) {
        SCOPED_TRACE(table.toStdString());
        const int lines = table == "t" ? 300000 : 20000;
        const QString path = file(table + ".csv", numberedLines(lines, lines));
        CommitCutter cutter(server);
        m_port = QString::number(cutter.port());
        QProcess process;
        start(process, {"--append", table, path});
        const Outcome outcome = finishRun(process);
        EXPECT_TRUE(cutter.cut()) << "a commit went through the relay";
        EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out.toStdString(),
                  QStringLiteral("Import incomplete. 1 of 1 file(s) and %1 row(s) were imported; 1 "
                                 "error(s) were reported and 0 file(s) were passed over.\n")
                      .arg(groupedCount(lines - 1))
                      .toStdString());
        expectEveryLineOnce(table, lines, 1);
    }
}

// A server that does not take the program back within the bound (2 s here): one message names
// the file, the lines not sent and how many; the rows in and the lines named add up to the
// file. Over one connection the lines not sent run from one line to the end; over two, each
// range stops at its own line, and the message names the stretches. When the server takes the
// program back within the bound, every line goes in.
TEST_P(CommandLineReconnectTest, AServerAwayLongerThanTheBoundCostsOneMessage) {
    const int fewer = 600000;
    for (const QString jobs : {"1", "row by row", "2"}) {
        SCOPED_TRACE(jobs.toStdString());
        const bool rowByRow = jobs == QLatin1String("row by row");
        // Over two connections, each range of the shorter file may go as one chunk far away,
        // and the run may be over before the server goes: a longer file leaves chunks to send.
        const int lines = jobs == QLatin1String("2") ? 3000000 : fewer;
        const QString path = file("lines.csv", numberedLines(lines));
        const QString table = QStringLiteral("t%1").arg(jobs.size() == 1 ? jobs : "r");
        m_db.execute(QStringLiteral("CREATE TABLE %1(n int, t text)").arg(table));
        QProcess process;
        QStringList rest{"--jobs", rowByRow ? "1" : jobs, "--append", table, path};
        if (rowByRow)
            rest.prepend("--row-by-row");
        start(process, rest, {{"QUENMARL_RECONNECT_SECONDS", "2"}});
        ASSERT_TRUE(waitFor([&] { return m_db.count(table) > 0; }));
        allowConnections(false);
        endBackends();
        const Outcome outcome = finishRun(process);
        allowConnections(true);

        // The lines not sent are named once; when the server went while the last chunk's
        // commit was on its way, no line was left unsent and that chunk is named in doubt.
        EXPECT_EQ(outcome.exitCode, 1);
        const QString lastInDoubt = QStringLiteral(" to %1, may or may not be").arg(lines + 1);
        const QString unsent = QStringLiteral("were not sent: the connection to the server was "
                                              "lost and not regained within 2 s.");
        EXPECT_LE(outcome.err.count(QStringLiteral("were not sent")), 1);
        if (jobs == QLatin1String("2"))
            EXPECT_TRUE(outcome.err.contains(QStringLiteral("regained within 2 s.")) ||
                        outcome.err.contains(QStringLiteral("may or may not be in the table")))
                << outcome.err.toStdString();
        else
            EXPECT_TRUE(outcome.err.contains(unsent) != outcome.err.contains(lastInDoubt))
                << outcome.err.toStdString();
        const int inDoubt = expectAccounted(table, lines, 0, outcome.err);
        EXPECT_LE(inDoubt, jobs == QLatin1String("2") ? 2 : 1);
        EXPECT_GT(m_db.count(table), 0);
        EXPECT_LT(m_db.count(table), lines);
    }

    // Back after a second and a half: nothing is lost.
    m_db.execute("CREATE TABLE back(n int, t text)");
    QProcess process;
    start(process, {"--append", "back", file("lines.csv", numberedLines(fewer))});
    ASSERT_TRUE(waitFor([&] { return m_db.count("back") > 0; }));
    allowConnections(false);
    endBackends();
    QThread::msleep(1500);
    allowConnections(true);
    const Outcome outcome = finishRun(process);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    expectEveryLineOnce("back", fewer, 0);
}

// The connection lost while the column-count query of an append waits (for a lock): the query
// is asked again over a new connection and the file goes in whole.
TEST_P(CommandLineReconnectTest, TheColumnCountQueryIsAskedAgain) {
    const QString path = file("lines.csv", numberedLines(1000));
    m_db.execute("CREATE TABLE t(n int, t text)");
    Connection holder = m_db.lockTable("t");
    QProcess process;
    start(process, {"--append", "t", path});
    ASSERT_TRUE(waitFor([&] { return m_db.waitingLocks() > 0; }));
    const QStringList held = {holder.query("SELECT pg_backend_pid()").value(0, 0)};
    m_db.execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                "datname = current_database() AND backend_type = 'client "
                                "backend' AND pid <> pg_backend_pid() AND pid <> %1")
                     .arg(held[0]));
    QThread::msleep(200);
    holder.execute("ROLLBACK");
    const Outcome outcome = finishRun(process);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, QStringLiteral("Done.\n"));
    expectEveryLineOnce("t", 1000, 0);
}

// The backend ended as a new table is made (an event trigger of the database ends its own
// backend the first time): nothing was made, so the statement is sent again over a new
// connection and the file goes in whole.
TEST_P(CommandLineReconnectTest, TheNewTableIsMadeAgain) {
    const QString path = file("lines.csv", numberedLines(1000));
    m_db.execute("CREATE SEQUENCE ends; CREATE FUNCTION end_once() RETURNS event_trigger "
                 "LANGUAGE plpgsql AS $$ BEGIN IF nextval('ends') = 1 THEN PERFORM "
                 "pg_terminate_backend(pg_backend_pid()); END IF; END $$; CREATE EVENT TRIGGER "
                 "end_once ON ddl_command_start WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION "
                 "end_once()");
    QProcess process;
    start(process, {"--create", "made", path});
    const Outcome outcome = finishRun(process);
    m_db.execute("DROP EVENT TRIGGER end_once");
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, QStringLiteral("Done.\n"));
    EXPECT_EQ(m_db.column("SELECT last_value FROM ends"), QStringList{"2"}) << "made twice";
    expectEveryLineOnce("made", 1000, 0);
}

INSTANTIATE_TEST_SUITE_P(Distance, CommandLineReconnectTest, ::testing::Values(0, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Loopback")
                                                    : "Relayed" + std::to_string(info.param) + "ms";
                         });
