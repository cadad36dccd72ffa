#include "database/Connection.h"
#include "support/CommandLineKit.h"

#include <QFile>

// --no-header: with --append, each file's first line is a row like the others and is named
// line 1; the field-count and column-count checks still measure it, --rejects keeps it once
// when rejected and leaves it out otherwise, and a file resumed after a lost connection sends
// it once.

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// The rows of a reasons file after its header, each as "LINE,SQLSTATE".
QStringList reasonKeys(const QByteArray& csv) {
    QStringList lines = QString::fromUtf8(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return {};
    lines.removeFirst();
    QStringList keys;
    for (const QString& line : lines)
        keys << line.section(QLatin1Char(','), 0, 1);
    return keys;
}

struct RowsCase {
    const char* name;
    QStringList options; // before --append t FILE
    QByteArray file;
    int exitCode;
    QStringList rows; // the table's rows afterwards, by name
    QString err;      // what standard error holds after "PATH"; empty: nothing at all
};

const RowsCase RowsCases[] = {
    {"a header line is left out by default",
     {},
     "name,n\nAnn,1\nBob,2\n",
     0,
     {"Ann|1", "Bob|2"},
     {}},
    {"a headerless file keeps its first row",
     {"--no-header"},
     "Ann,1\nBob,2\n",
     0,
     {"Ann|1", "Bob|2"},
     {}},
    {"row by row too",
     {"--no-header", "--row-by-row"},
     "Ann,1\nBob,2\n",
     0,
     {"Ann|1", "Bob|2"},
     {}},
    {"a byte-order mark is no part of the first value",
     {"--no-header"},
     "\xef\xbb\xbf"
     "Ann,1\r\nBob,2\r\n",
     0,
     {"Ann|1", "Bob|2"},
     {}},
    {"a quoted first record over two lines",
     {"--no-header", "--quoted"},
     "\"A\r\nx\",1\nBob,2\n",
     0,
     {"A\r\nx|1", "Bob|2"},
     {}},
    {"a rejected first line is line 1",
     {"--no-header"},
     "Anna-Lena,1\nBob,2\n",
     1,
     {"Bob|2"},
     ":1: ERROR:  value too long for type character varying(4)\n"},
    {"a rejected first line is line 1, row by row",
     {"--no-header", "--row-by-row"},
     "Anna-Lena,1\nBob,2\n",
     1,
     {"Bob|2"},
     ":1: ERROR:  value too long for type character varying(4)\n"},
    {"the first line still sets the column count",
     {"--no-header"},
     "Ann,1,x\nBob,2,y\n",
     4,
     {},
     ": passed over: the file has 3 columns and the table \"t\" has 2; no row was sent.\n"},
    {"the first line still sets the field count",
     {"--no-header"},
     "Ann,1\nBob\nCid,3\n",
     3,
     {},
     ":2: Bob\n"},
};

struct RejectsCase {
    const char* name;
    bool quoted;
    QByteArray file;
    QByteArray rejected; // what NAME.rejected holds
    QStringList reasons; // "LINE,SQLSTATE" of each rejected record
};

std::ostream& operator<<(std::ostream& out, const RejectsCase& c) {
    return out << c.name;
}

const RejectsCase RejectsCases[] = {
    {"FirstLineRejectedIsKeptOnce",
     false,
     "long,x\n1,y\ntoolong,z\n",
     "long,x\ntoolong,z\n",
     {"1,22001", "3,22001"}},
    {"FirstLineInIsNotCopied", false, "1,x\nlong,y\n2,z\n", "long,y\n", {"2,22001"}},
    {"QuotedFirstRecordOverTwoLines",
     true,
     "\"long\",\"two\r\nlines\"\n1,x\n",
     "\"long\",\"two\r\nlines\"\n",
     {"1,22001"}},
    {"ByteOrderMarkStaysWithoutTheFirstLine",
     false,
     "\xef\xbb\xbf"
     "1,x\r\nlong,y\r\n",
     "\xef\xbb\xbf"
     "long,y\r\n",
     {"2,22001"}},
};

} // namespace

class CommandLineNoHeaderTest : public CommandLineFixture {
protected:
    // Ends the program's backends in this database, all but the one given.
    void endBackendsBut(const QString& kept) {
        m_db.execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                    "datname = current_database() AND backend_type = 'client "
                                    "backend' AND pid <> pg_backend_pid() AND pid <> %1")
                         .arg(kept));
    }
};

TEST_F(CommandLineNoHeaderTest, TheFirstLineIsARowLikeTheOthers) {
    m_db.execute("CREATE TABLE t(name varchar(4), n int)");
    for (const RowsCase& c : RowsCases) {
        SCOPED_TRACE(c.name);
        m_db.execute("TRUNCATE t");
        const QString path = file(QStringLiteral("in.csv"), c.file);
        const Outcome outcome = run(c.options + QStringList{"--append", "t", path});
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        EXPECT_EQ(m_db.rows("SELECT * FROM t ORDER BY name"), c.rows);
        EXPECT_EQ(outcome.err, c.err.isEmpty() ? QString() : path + c.err);
    }
}

TEST_F(CommandLineNoHeaderTest, GoesWithAppendOnly) {
    const QString path = file(QStringLiteral("in.csv"), "a,b\n");
    const Outcome outcome = run({"--no-header", "--create", "x", path});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.err, QStringLiteral("quenmarl-cli: --no-header goes with --append\nTry "
                                          "'quenmarl-cli --help'.\n"));
    EXPECT_EQ(m_db.count("x"), 0);
}

// The backend ended while the file's first chunk waits for a lock, so that no line of it is
// committed: the file is read again from its first line, and every line goes in once.
TEST_F(CommandLineNoHeaderTest, AResumedFileSendsItsFirstLineOnce) {
    const int lines = 1000;
    const QString path = file(QStringLiteral("lines.csv"), numberedLines(lines).mid(4));
    m_db.execute("CREATE TABLE t(n int, t text)");
    // SHARE mode lets the column-count query through and holds back every row.
    Connection holder = Connection::open(m_db.settings());
    holder.execute("BEGIN");
    holder.execute("LOCK TABLE t IN SHARE MODE");
    QProcess process;
    start(process, {"--no-header", "--append", "t", path});
    ASSERT_TRUE(waitFor([&] { return m_db.waitingLocks() > 0; }));
    endBackendsBut(holder.query("SELECT pg_backend_pid()").value(0, 0));
    QThread::msleep(300);
    holder.execute("ROLLBACK");
    const Outcome outcome = finishRun(process);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, QStringLiteral("Done.\n"));
    EXPECT_EQ(m_db.rows("SELECT count(*), count(DISTINCT n), min(n) FROM t"),
              QStringList{QStringLiteral("%1|%1|1").arg(lines)});
}

class CommandLineNoHeaderRejectsTest
    : public CommandLineFixture,
      public ::testing::WithParamInterface<std::tuple<RejectsCase, bool>> {};

// Through COPY and row by row: without a header line the saved lines are exactly the rejected
// records, the first one among them once when it was rejected, so that they load again as the
// file did.
TEST_P(CommandLineNoHeaderRejectsTest, TheFirstLineIsCopiedOnlyWhenRejected) {
    const auto& [c, rowByRow] = GetParam();
    m_db.execute("CREATE TABLE t(a varchar(3), b text)");
    const QString input = file(QStringLiteral("in.csv"), c.file);
    const QString out = m_dir.path() + QStringLiteral("/rejects");
    QStringList rest{"--no-header", "--rejects", out, "--append", "t", input};
    if (c.quoted)
        rest.prepend("--quoted");
    if (rowByRow)
        rest.prepend("--row-by-row");
    const Outcome outcome = run(rest);
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();
    EXPECT_EQ(readAll(out + QStringLiteral("/in.csv.rejected")), c.rejected);
    EXPECT_EQ(reasonKeys(readAll(out + QStringLiteral("/in.csv.rejected.csv"))), c.reasons);
    QList<int> named;
    for (const QString& key : c.reasons)
        named << key.section(QLatin1Char(','), 0, 0).toInt();
    EXPECT_EQ(namedLines(outcome.err, QStringLiteral("in.csv")), named);
}

INSTANTIATE_TEST_SUITE_P(Files, CommandLineNoHeaderRejectsTest,
                         ::testing::Combine(::testing::ValuesIn(RejectsCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "RowByRow" : "ByCopy");
                         });
