#include "support/CommandLineKit.h"

#include <QRegularExpression>

// A table that refuses every row, for a reason of the table's or the connection's: one message
// for the file, the count of its lines not sent exact, and the run goes on with the next file.
// And answers that are a row's own are still reported line by line.

namespace {

enum class Refusal {
    Privilege, // 42501: the table's owner gave up its INSERT privilege as it was made
    ReadOnly,  // 25006: the database's transactions are read-only
    Dropped,   // 42P01: another session dropped the table while the run waited for it
};

struct RefusalCase {
    const char* name;
    Refusal refusal;
    bool rowByRow;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) {
    return out << c.name;
}

// What the closing line counts.
struct Counts {
    qint64 files = -1;
    qint64 rows = -1;
    qint64 errors = -1;
};

Counts closingCounts(const QString& out) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Import incomplete\\. ([\\d,]+) of \\d+ file\\(s\\) and "
                                          "([\\d,]+) row\\(s\\) were imported; (\\d+) error"))
            .match(out);
    if (!match.hasMatch())
        return {};
    const auto number = [&](int n) {
        return match.captured(n).remove(QLatin1Char(',')).toLongLong();
    };
    return {number(1), number(2), number(3)};
}

// The messages that name lines of the file called name as not sent because the server refused
// them: each as {count, first line}.
QList<std::pair<int, int>> refusals(const QString& err, const QString& name) {
    QList<std::pair<int, int>> found;
    const QRegularExpression refused(
        QStringLiteral("^.*/%1:(\\d+): (\\d+) line\\(s\\) of .*/%1, from line (\\d+) on, were "
                       "not sent: the server refused them \\((.+)\\)\\.$")
            .arg(QRegularExpression::escape(name)),
        QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& m : refused.globalMatch(err)) {
        EXPECT_EQ(m.captured(1), m.captured(3)) << "the message stands at the refused line";
        EXPECT_FALSE(m.captured(4).contains(QLatin1Char('\n')));
        found.append({m.captured(2).toInt(), m.captured(3).toInt()});
    }
    return found;
}

} // namespace

class RefusalFixture : public CommandLineFixture {
protected:
    // Starts the program as the server's ordinary role instead of the superuser.
    void startAsRole(QProcess& process, const QStringList& rest) {
        QStringList all = arguments(rest);
        const TestServer& server = TestServer::get();
        all[all.indexOf(QStringLiteral("--user")) + 1] = server.role;
        all[all.indexOf(QStringLiteral("--password")) + 1] = server.rolePassword;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUENMARL_CLI_PATH), all);
        ASSERT_TRUE(process.waitForStarted());
    }
};

class CommandLineRefusalTest : public RefusalFixture,
                               public ::testing::WithParamInterface<RefusalCase> {
protected:
    // A table t1 made by the run gives up its owner's INSERT privilege as it is made.
    void revokeInsertOnCreation() {
        m_db.execute(
            QStringLiteral("GRANT CREATE ON SCHEMA public TO %1").arg(TestServer::get().role));
        m_db.execute(QStringLiteral(
            "CREATE FUNCTION revoke_t1() RETURNS event_trigger LANGUAGE plpgsql AS $$ BEGIN "
            "IF EXISTS (SELECT 1 FROM pg_event_trigger_ddl_commands() WHERE object_identity = "
            "'public.t1') THEN REVOKE INSERT ON public.t1 FROM CURRENT_USER; END IF; END $$"));
        m_db.execute(QStringLiteral("CREATE EVENT TRIGGER revoke_t1 ON ddl_command_end WHEN TAG "
                                    "IN ('CREATE TABLE') EXECUTE FUNCTION revoke_t1()"));
    }

    // Runs two files, the first refused; returns the outcome. refusedLines is the first file's
    // data lines.
    Outcome runRefused(const RefusalCase& c, const QString& first, const QString& second) {
        QStringList rest = c.refusal == Refusal::ReadOnly
                               ? QStringList{"--append", "t", first, second}
                               : QStringList{"--create", "t[counter]", first, second};
        if (c.rowByRow)
            rest.prepend("--row-by-row");
        rest.prepend("--jobs=1"); // the refused line ends the file: one connection sends it
        QProcess process;
        if (c.refusal == Refusal::Privilege) {
            revokeInsertOnCreation();
            startAsRole(process, rest);
            return finishRun(process);
        }
        if (c.refusal == Refusal::ReadOnly) {
            m_db.execute("CREATE TABLE t(n int, t text)");
            m_db.execute(QStringLiteral("ALTER DATABASE \"%1\" SET default_transaction_read_only "
                                        "= on")
                             .arg(m_db.name()));
            start(process, rest);
            Outcome outcome = finishRun(process);
            // Undone in a transaction that is not read-only itself.
            m_db.execute(QStringLiteral("BEGIN READ WRITE; ALTER DATABASE \"%1\" RESET "
                                        "default_transaction_read_only; COMMIT")
                             .arg(m_db.name()));
            return outcome;
        }
        start(process, rest);
        // The table is taken from the run in the middle of the file.
        EXPECT_TRUE(waitFor([&] { return m_db.count("t1") > 0; }));
        Connection holder = m_db.lockTable("t1");
        EXPECT_TRUE(waitFor([&] { return m_db.waitingLocks() > 0; })) << "the run waits";
        holder.execute("DROP TABLE t1");
        holder.execute("COMMIT");
        return finishRun(process);
    }
};

TEST_P(CommandLineRefusalTest, TheRefusedFileIsNamedOnceAndTheNextFileGoesIn) {
    const RefusalCase& c = GetParam();
    const int firstLines = c.refusal == Refusal::Dropped ? 2000000 : 3000;
    const int secondLines = 500;
    const QString first = file("refused.csv", numberedLines(firstLines));
    const QString second = file("next.csv", numberedLines(secondLines));
    const Outcome outcome = runRefused(c, first, second);
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();

    const QList<std::pair<int, int>> refused = refusals(outcome.err, "refused.csv");
    ASSERT_EQ(refused.size(), 1) << outcome.err.toStdString();
    const auto [count, from] = refused.front();
    EXPECT_EQ(count, firstLines + 2 - from) << "every line from the refused one on";
    EXPECT_EQ(namedLines(outcome.err, "refused.csv"), QList<int>{from}) << "no other message";
    if (c.refusal != Refusal::Dropped) {
        EXPECT_EQ(from, 2) << "the table refuses its first row";
    }

    const Counts counts = closingCounts(outcome.out);
    if (c.refusal == Refusal::ReadOnly) {
        // The next file meets the same read-only database: it too is named once.
        const QList<std::pair<int, int>> next = refusals(outcome.err, "next.csv");
        ASSERT_EQ(next.size(), 1) << outcome.err.toStdString();
        EXPECT_EQ(next.front(), std::make_pair(secondLines, 2));
        EXPECT_EQ(counts.files, 0);
        EXPECT_EQ(counts.rows, 0);
        EXPECT_EQ(counts.errors, 2);
        EXPECT_EQ(m_db.count("t"), 0);
        return;
    }
    EXPECT_EQ(namedLines(outcome.err, "next.csv"), QList<int>{});
    EXPECT_EQ(m_db.count("t2"), secondLines) << "the next file went in";
    EXPECT_EQ(counts.files, 1) << "a file with lines not sent is not imported";
    EXPECT_EQ(counts.errors, 1);
    // The rows counted are the next file's and the refused file's before the refused line
    // (those went in before the table was dropped).
    EXPECT_EQ(counts.rows, secondLines + from - 2) << outcome.out.toStdString();
    if (c.refusal == Refusal::Privilege) {
        EXPECT_EQ(m_db.count("t1"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CommandLineRefusalTest,
    ::testing::Values(RefusalCase{"PrivilegeByCopy", Refusal::Privilege, false},
                      RefusalCase{"PrivilegeRowByRow", Refusal::Privilege, true},
                      RefusalCase{"ReadOnlyByCopy", Refusal::ReadOnly, false},
                      RefusalCase{"ReadOnlyRowByRow", Refusal::ReadOnly, true},
                      RefusalCase{"DroppedByCopy", Refusal::Dropped, false},
                      RefusalCase{"DroppedRowByRow", Refusal::Dropped, true}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// A value too long (22001) and a duplicate key (23505) are each a row's own: every such line is
// named on its own, through COPY and row by row, and the good lines go in.
class CommandLineRowRejectionTest : public RefusalFixture {};

TEST_F(CommandLineRowRejectionTest, RowsOwnRejectionsAreStillNamedLineByLine) {
    const QString path = file("rows.csv", numberedLines(300, 7) + "301,dup\n301,dup\n");
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        const QString table = rowByRow ? QStringLiteral("rows_one") : QStringLiteral("rows_copy");
        m_db.execute(QStringLiteral("CREATE TABLE %1(n int UNIQUE, t varchar(8))").arg(table));
        m_db.execute(QStringLiteral("INSERT INTO %1 VALUES (301, 'first')").arg(table));
        QStringList rest{"--append", table, path};
        if (rowByRow)
            rest.prepend("--row-by-row");
        QProcess process;
        start(process, rest);
        ASSERT_TRUE(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QList<int> expected;
        for (int n = 7; n <= 300; n += 7)
            expected << n + 1;
        expected << 302 << 303;
        EXPECT_EQ(namedLines(err, "rows.csv"), expected) << err.toStdString();
        EXPECT_FALSE(err.contains(QStringLiteral("were not sent")));
        EXPECT_EQ(m_db.count(table), 1 + 300 - 300 / 7);
    }
}

// A row that a row-level security policy refuses gets 42501 as a missing privilege does, but it
// is the row's own: every such line is named, and the others go in.
TEST_F(CommandLineRowRejectionTest, RowsThatAPolicyRefusesAreStillNamedLineByLine) {
    const QString path = file("rows.csv", numberedLines(300));
    m_db.execute("CREATE TABLE rls(n int, t text)");
    m_db.execute("ALTER TABLE rls ENABLE ROW LEVEL SECURITY");
    m_db.execute("CREATE POLICY sevens ON rls USING (true) WITH CHECK (n % 7 <> 0)");
    m_db.execute(QStringLiteral("GRANT SELECT, INSERT ON rls TO %1").arg(TestServer::get().role));
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        m_db.execute("TRUNCATE rls");
        QStringList rest{"--append", "rls", path};
        if (rowByRow)
            rest.prepend("--row-by-row");
        QProcess process;
        startAsRole(process, rest);
        ASSERT_TRUE(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QList<int> expected;
        for (int n = 7; n <= 300; n += 7)
            expected << n + 1;
        EXPECT_EQ(namedLines(err, "rows.csv"), expected) << err.toStdString();
        EXPECT_EQ(m_db.count("rls"), 300 - 300 / 7);
    }
}
