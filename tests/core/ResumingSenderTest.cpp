#include "resume/ResumingSender.h"
#include "resume/RunConnection.h"
#include "sending/copy/ChunkMarker.h"
#include "support/TestEnvironment.h"
#include "textfile/InputFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// ResumingSender over scripted senders: each sender takes the lines it is handed and, where
// its script says, reports its connection lost with a given account of what was left behind.
// The connections, the markers and the server's answers are real.

namespace {

enum class Marker { None, Committed, Gone };

// One sender's script: after the line breakAfter (never when -1) it reports `lost`, having
// had acceptedAtBreak rows accepted. The chunk in doubt's marker is made real on the server
// as `marker` says.
struct Script {
    qint64 breakAfter = -1;
    qint64 acceptedAtBreak = 0;
    LostConnection lost;
    Marker marker = Marker::None;
};

struct Log {
    std::vector<std::vector<qint64>> received; // by sender, in order made
};

class ScriptedSender : public RowSender {
public:
    ScriptedSender(Script script, std::vector<qint64>& received)
        : m_script(std::move(script))
        , m_received(received) {}

    void send(const Record& record) override {
        EXPECT_FALSE(m_broken) << "a broken sender takes no more lines";
        m_received.push_back(record.line);
        m_broken = record.line == m_script.breakAfter;
    }
    void finish() override {}
    qint64 rowsAccepted() const override {
        return m_broken ? m_script.acceptedAtBreak : qint64(m_received.size());
    }
    std::optional<LostConnection> lostConnection() const override {
        return m_broken ? std::optional(m_script.lost) : std::nullopt;
    }

private:
    Script m_script;
    std::vector<qint64>& m_received;
    bool m_broken = false;
};

std::vector<qint64> range(qint64 first, qint64 last) {
    std::vector<qint64> lines;
    for (qint64 line = first; line <= last; ++line)
        lines.push_back(line);
    return lines;
}

ChunkInDoubt chunk(qint64 first, qint64 last, qint64 rowsAccepted) {
    ChunkInDoubt doubt;
    doubt.firstLine = first;
    doubt.lastLine = last;
    doubt.lineAfter = last + 1;
    doubt.rowsAccepted = rowsAccepted;
    return doubt;
}

LostConnection lostWith(std::vector<qint64> notCommitted,
                        std::optional<ChunkInDoubt> doubt = std::nullopt,
                        std::pair<qint64, qint64> unanswered = {-1, -1}) {
    LostConnection lost;
    lost.notCommitted = std::move(notCommitted);
    lost.chunkInDoubt = std::move(doubt);
    lost.unanswered = unanswered;
    return lost;
}

enum class Server { Back, NeverBack, StopWhileWaiting };

struct Case {
    const char* name;
    std::vector<Script> scripts;
    // What each sender received, in the order they were made.
    std::vector<std::vector<qint64>> received;
    // The rejections reported: line index and text, PATH standing for the file's path.
    std::vector<std::pair<qint64, QString>> rejected;
    qint64 rowsAccepted;
    int resumptions;
    bool allSent = true;
    Server server = Server::Back;
    int rereadLines = 10; // data lines the file reads again with
};

QString inDoubt(int count, int first, int last) {
    return QStringLiteral("%1 line(s) of PATH, lines %2 to %3, may or may not be in the table: "
                          "the connection to the server was lost before the server answered "
                          "for them.")
        .arg(count)
        .arg(first)
        .arg(last);
}

const Case Cases[] = {
    {"LinesNotCommittedGoAgainOverANewConnection",
     {{6, 3, lostWith({4, 5, 6})}, {}},
     {range(1, 6), range(4, 10)},
     {},
     10,
     1},
    {"AChunkInDoubtWithoutAMarkerIsNamedAndNotSentAgain",
     {{6, 3, lostWith({4, 5, 6}, chunk(4, 5, 2))}, {}},
     {range(1, 6), range(6, 10)},
     {{4, inDoubt(2, 5, 6)}},
     8,
     1},
    {"AChunkWhoseMarkerIsFoundCommittedWithItsRejections",
     {{6, 3,
       lostWith({4, 5, 6},
                [] {
                    ChunkInDoubt doubt = chunk(4, 6, 2);
                    doubt.rejections = {{5, QStringLiteral("line 6 refused"), false, {}}};
                    return doubt;
                }()),
       Marker::Committed},
      {}},
     {range(1, 6), range(7, 10)},
     {{5, QStringLiteral("line 6 refused")}},
     9,
     1},
    {"AChunkWhoseMarkerIsGoneDidNotCommitAndGoesAgain",
     {{6, 3, lostWith({4, 5, 6}, chunk(4, 6, 3)), Marker::Gone}, {}},
     {range(1, 6), range(4, 10)},
     {},
     10,
     1},
    {"RowStatementsWhoseAnswersWereLostAreNamed",
     {{6, 5, lostWith({6}, std::nullopt, {6, 6})}, {}},
     {range(1, 6), range(7, 10)},
     {{6, inDoubt(1, 7, 7)}},
     9,
     1},
    {"ASecondLossDuringTheResendingIsResumedToo",
     {{4, 2, lostWith({3, 4})}, {6, 3, lostWith({6})}, {}},
     {range(1, 4), range(3, 6), range(6, 10)},
     {},
     10,
     2},
    {"ALossWhileLinesAreSentAgainKeepsThoseNotYetSent",
     {{6, 3, lostWith({4, 5, 6})}, {4, 0, lostWith({4})}, {}},
     {range(1, 6), {4}, range(4, 10)},
     {},
     10,
     2},
    {"AFileThatNoLongerReadsAsItDidSendsWhatItFindsAndNamesTheRest",
     {{6, 3, lostWith({4, 5, 6})}, {}},
     {range(1, 6), {4}},
     {{5, QStringLiteral("6 line(s) of PATH, from line 6 on, were not sent: the file changed "
                         "while it was imported.")}},
     4,
     1,
     false,
     Server::Back,
     4},
    {"AServerThatStaysAwayCostsOneMessageForTheLinesNotSent",
     {{6, 3, lostWith({4, 5, 6})}},
     {range(1, 6)},
     {{4, QStringLiteral("7 line(s) of PATH, from line 5 on, were not sent: the connection to "
                         "the server was lost and not regained within 1 s.")}},
     3,
     0,
     false,
     Server::NeverBack},
    {"AStopWhileTheServerIsWaitedForReportsNothing",
     {{6, 3, lostWith({4, 5, 6})}},
     {range(1, 6)},
     {},
     3,
     0,
     true,
     Server::StopWhileWaiting},
};

class ResumingSenderTest : public testing::TestWithParam<Case> {
protected:
    // A marker as the chunk's transaction left it: committed, or made and removed again.
    void makeMarker(Script& script) {
        if (script.marker == Marker::None || !script.lost.chunkInDoubt)
            return;
        ChunkInDoubt& doubt = *script.lost.chunkInDoubt;
        doubt.token = ChunkMarker::newToken();
        doubt.marker =
            m_database
                .column(QStringLiteral("SELECT ") + QString::fromLatin1(ChunkMarker::creation(
                                                        doubt.token, ChunkMarker::newOid())))
                .value(0)
                .toUInt();
        if (script.marker == Marker::Gone)
            m_database.execute(QStringLiteral("SELECT lo_unlink(%1)").arg(doubt.marker));
    }

    bool markerExists(quint32 marker) const {
        return m_database
                   .column(
                       QStringLiteral("SELECT count(*) FROM pg_largeobject_metadata WHERE oid = %1")
                           .arg(marker))
                   .value(0) != QLatin1String("0");
    }

    TestDatabase m_database;
    QTemporaryDir m_dir;
};

// A port of the test server's host where nothing listens.
ConnectionSettings nobodyListens(ConnectionSettings settings) {
    settings.port = QStringLiteral("1");
    return settings;
}

} // namespace

TEST_P(ResumingSenderTest, SettlesWhatALostConnectionLeftBehind) {
    Case c = GetParam();
    qputenv("QUENMARL_RECONNECT_SECONDS", "1");
    const QString path = writeTestFile(m_dir, "lines.csv", numberedLines(10));
    const QString changed = writeTestFile(m_dir, "changed.csv", numberedLines(c.rereadLines));
    for (Script& script : c.scripts)
        makeMarker(script);

    InputFile file(FieldRule::Plain, QStringLiteral(","));
    ASSERT_TRUE(file.open(path, {}));
    file.readHeader();
    InputFile again(FieldRule::Plain, QStringLiteral(","));
    ASSERT_TRUE(again.open(changed, {}));
    again.readHeader();

    RunConnection connection;
    connection.begin(m_database.settings());
    Log log;
    log.received.reserve(c.scripts.size() + 1); // each sender holds its own list
    std::vector<std::pair<qint64, QString>> rejected;
    // Once the first sender broke, a stop is asked for.
    const auto broken = [&] {
        return !log.received.empty() && !log.received[0].empty() &&
               log.received[0].back() == c.scripts[0].breakAfter;
    };
    ResumingSender sender(
        {connection,
         c.server == Server::Back ? m_database.settings() : nobodyListens(m_database.settings()),
         [&] { return c.server == Server::StopWhileWaiting && broken(); },
         [&](Connection& open, qsizetype valueCount) {
             EXPECT_TRUE(open.isOpen());
             EXPECT_EQ(valueCount, 2);
             const std::size_t made = log.received.size();
             log.received.emplace_back();
             return std::make_unique<ScriptedSender>(
                 made < c.scripts.size() ? c.scripts[made] : Script{}, log.received.back());
         },
         [&] { return again.dataRecords(); },
         [&](const LineRejection& r) { rejected.emplace_back(r.line, r.description); },
         path,
         {}});
    RecordReader records = file.dataRecords();
    Record record;
    while (records.next(record)) {
        if (record.fieldCount >= 2) // as the run hands records over
            sender.send(record);
    }
    sender.finish();
    qunsetenv("QUENMARL_RECONNECT_SECONDS");

    EXPECT_EQ(log.received, c.received);
    const auto shown = [](const std::vector<std::pair<qint64, QString>>& list) {
        std::vector<std::string> lines;
        for (const auto& [line, text] : list)
            lines.push_back(std::to_string(line) + ": " + text.toStdString());
        return lines;
    };
    for (auto& [line, text] : c.rejected)
        text.replace(QLatin1String("PATH"), path);
    EXPECT_EQ(shown(rejected), shown(c.rejected));
    EXPECT_EQ(sender.rowsAccepted(), c.rowsAccepted);
    EXPECT_EQ(sender.resumptions(), c.resumptions);
    EXPECT_EQ(sender.allSent(), c.allSent);
    for (const Script& script : c.scripts) {
        if (script.marker == Marker::Committed) {
            EXPECT_FALSE(markerExists(script.lost.chunkInDoubt->marker))
                << "the marker of a chunk found committed is removed";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ResumingSenderTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });
