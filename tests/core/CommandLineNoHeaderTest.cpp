#include "database/Connection.h"
#include "support/CommandLineKit.h"

// --no-header: with --append, each file's first line is a row like the others and is named
// line 1; the field-count and column-count checks still measure it, and a file resumed after a
// lost connection sends it once. What --rejects keeps of such a file is tested with the other
// files it keeps (CommandLineRejectsTest).

namespace {

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
