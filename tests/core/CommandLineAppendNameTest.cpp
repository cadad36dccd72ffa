#include "support/CommandLineKit.h"

#include <span>

// --append takes the table as SQL names it, schema included, or as the list of tables shows
// it: the rows reach exactly that table and no other of the same name. A text that names no
// table the role may append to, however it is written, ends the run before any row with the
// message of an unknown table, and is never run as SQL.

namespace {

struct NameCase {
    const char* name;
    const char* typed;  // the value of --append
    const char* target; // the table that takes the rows, as SQL names it; nullptr for none
};

const NameCase SqlNames[] = {
    {"a bare name along the search path", "orders", "public.orders"},
    {"an unquoted name folds to lower case", "Orders", "public.orders"},
    {"schema-qualified, the schema on the path", "public.orders", "public.orders"},
    {"schema-qualified, the schema off the path", "sales.orders", "sales.orders"},
    {"every unquoted part folds", "SALES.Orders", "sales.orders"},
    {"quoted parts", "\"public\".\"orders\"", "public.orders"},
    {"quoted and unquoted parts", "\"sales\".ORDERS", "sales.orders"},
    {"a mixed-case name in a schema with a space, quoted", "\"Odd Schema\".\"Mixed Case\"",
     "\"Odd Schema\".\"Mixed Case\""},
    {"spaces around the dot, as SQL allows them", "\"Odd Schema\" . \"Mixed Case\"",
     "\"Odd Schema\".\"Mixed Case\""},
    {"a quoted name keeps its case", "\"Orders\"", nullptr},
    {"a quoted part keeps its case", "\"Odd Schema\".\"mixed case\"", nullptr},
    {"an unquoted part with a space is no SQL name", "\"Odd Schema\".Mixed Case", nullptr},
    {"a name in no schema", "nosuch", nullptr},
    {"a schema that does not exist", "nosuch.orders", nullptr},
    {"a schema the search path does not reach, bare", "\"Mixed Case\"", nullptr},
    {"another database", "elsewhere.public.orders", nullptr},
    {"too many parts", "a.b.c.d", nullptr},
    {"a view is no table to append to", "orders_view", nullptr},
    {"an apostrophe and a semicolon", "x'; DROP TABLE orders; --", nullptr},
    {"the same, as one SQL name", "x';DROP", nullptr},
    {"the same, quoted", "\"x\"\"; DROP TABLE orders; --\"", nullptr},
};

// With a table "Orders" beside orders, the list shows it as Orders: that text keeps naming it,
// as scripts written for the list name it, while SQL's other spellings still reach each table.
const NameCase ListedBesideSql[] = {
    {"the listed form of \"Orders\"", "Orders", "public.\"Orders\""},
    {"\"Orders\" quoted", "\"Orders\"", "public.\"Orders\""},
    {"\"Orders\" schema-qualified", "public.\"Orders\"", "public.\"Orders\""},
    {"orders as listed", "orders", "public.orders"},
    {"an unquoted name folds to orders", "ORDERS", "public.orders"},
    {"orders schema-qualified", "PUBLIC.orders", "public.orders"},
};

} // namespace

class CommandLineAppendNameTest : public CommandLineFixture {
protected:
    void SetUp() override {
        for (const char* statement : {
                 "CREATE SCHEMA sales",
                 "CREATE SCHEMA \"Odd Schema\"",
                 "CREATE TABLE public.orders(k int, v text)",
                 "CREATE TABLE sales.orders(k int, v text)",
                 "CREATE TABLE \"Odd Schema\".\"Mixed Case\"(k int, v text)",
                 "CREATE VIEW orders_view AS SELECT * FROM public.orders",
             })
            m_db.execute(QString::fromUtf8(statement));
    }

    // Each case appends two rows under the name it types; afterwards its target holds them, and
    // each other table given is still there and holds none.
    void expectRowsReachTheirTable(std::span<const NameCase> cases, const QStringList& tables) {
        const QString path = file(QStringLiteral("rows.csv"), "k,v\n1,a\n2,b\n");
        for (const NameCase& c : cases) {
            SCOPED_TRACE(c.name);
            for (const QString& table : tables)
                m_db.execute(QStringLiteral("TRUNCATE ") + table);
            const QString typed = QString::fromUtf8(c.typed);
            const Outcome outcome = run({"--append", typed, path});
            if (c.target) {
                EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
                EXPECT_EQ(outcome.err, QString());
                EXPECT_EQ(outcome.out, QStringLiteral("Done.\n"));
            } else {
                EXPECT_EQ(outcome.exitCode, 2);
                EXPECT_EQ(outcome.err,
                          QStringLiteral("quenmarl-cli: the database has no table named ") + typed +
                              QLatin1Char('\n'));
                EXPECT_EQ(outcome.out, QStringLiteral("Please select a table.\n"));
            }
            for (const QString& table : tables) {
                const QString quoted = QString(table).replace(QLatin1Char('\''), "''");
                EXPECT_EQ(
                    m_db.column(QStringLiteral("SELECT to_regclass('%1') IS NOT NULL").arg(quoted)),
                    QStringList{"t"})
                    << table.toStdString() << " is still there";
                const bool target = c.target && table == QString::fromUtf8(c.target);
                EXPECT_EQ(m_db.count(table), target ? 2 : 0) << table.toStdString();
            }
        }
    }

    const QStringList m_tables{"public.orders", "sales.orders", "\"Odd Schema\".\"Mixed Case\""};
};

TEST_F(CommandLineAppendNameTest, TheTableIsNamedAsSqlNamesIt) {
    expectRowsReachTheirTable(SqlNames, m_tables);
}

TEST_F(CommandLineAppendNameTest, TheListedFormKeepsNamingItsTable) {
    m_db.execute("CREATE TABLE public.\"Orders\"(k int, v text)");
    expectRowsReachTheirTable(ListedBesideSql, m_tables + QStringList{"public.\"Orders\""});
}

// A role that may not use a schema can't look a table up in it: the server's refusal is named,
// and no row goes anywhere.
TEST_F(CommandLineAppendNameTest, ASchemaTheRoleMayNotUseIsNamedByTheServer) {
    const TestServer& server = TestServer::get();
    m_db.execute("CREATE SCHEMA secret");
    m_db.execute("CREATE TABLE secret.t(k int, v text)");
    m_db.execute(QStringLiteral("GRANT INSERT ON secret.t TO %1").arg(server.role));
    const QString path = file(QStringLiteral("rows.csv"), "k,v\n1,a\n");
    const Outcome outcome = run(
        {"--user", server.role, "--password", server.rolePassword, "--append", "SECRET.t", path});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.err, QStringLiteral("quenmarl-cli: could not look up the table SECRET.t: "
                                          "ERROR:  permission denied for schema secret\n"));
    EXPECT_EQ(outcome.out, QStringLiteral("Please select a table.\n"));
    EXPECT_EQ(m_db.count("secret.t"), 0);
}
