#include "support/ImportFixture.h"

// Appending reaches exactly the table picked in the list, whatever schema holds it and however
// odd its name: by COPY and row by row, its rejected rows named at their lines, and the table
// of the same name in another schema untouched.

namespace {

struct Target {
    const char* listed; // as the list shows it
    const char* sql;    // the same table as SQL names it
};

const Target Targets[] = {
    {"orders", "public.orders"},
    {"sales.orders", "sales.orders"},
    {"\"Odd Schema\".\"Mixed Case\"", "\"Odd Schema\".\"Mixed Case\""},
    {"Mixed Case", "public.\"Mixed Case\""},
    {"it's \"odd\"", "public.\"it's \"\"odd\"\"\""},
    {"\"a.b\"", "public.\"a.b\""},
    {"parted", "public.parted"},
};

} // namespace

class AppendTargetTest : public ImportFixture {
protected:
    void SetUp() override {
        for (const char* statement : {
                 "CREATE SCHEMA sales",
                 "CREATE SCHEMA \"Odd Schema\"",
                 "CREATE TABLE \"Odd Schema\".\"Mixed Case\"(k int, v varchar(3))",
                 "CREATE TABLE \"Mixed Case\"(k int, v varchar(3))",
                 "CREATE TABLE \"it's \"\"odd\"\"\"(k int, v varchar(3))",
                 "CREATE TABLE \"a.b\"(k int, v varchar(3))",
                 "CREATE TABLE parted(k int, v varchar(3)) PARTITION BY RANGE (k)",
                 "CREATE TABLE parted_low PARTITION OF parted FOR VALUES FROM (0) TO (100)",
             })
            m_db.execute(QString::fromUtf8(statement));
    }

    // orders in two schemas, made afresh.
    void makeOrders() {
        m_db.execute("DROP TABLE IF EXISTS public.orders, sales.orders");
        m_db.execute("CREATE TABLE public.orders(k int, v varchar(3))");
        m_db.execute("CREATE TABLE sales.orders(k int, v varchar(3))");
    }
};

TEST_F(AppendTargetTest, EachListedTableTakesExactlyItsRows) {
    const QString path = file("rows.csv", "k,v\n1,a\n2,long\n3,c\n");
    for (const bool rowByRow : {false, true}) {
        makeOrders();
        for (const Target& target : Targets) {
            SCOPED_TRACE(std::string(target.listed) + (rowByRow ? " row by row" : " by COPY"));
            m_db.execute(QStringLiteral("TRUNCATE %1").arg(QString::fromUtf8(target.sql)));
            ImportChoices choices = append({path}, QString::fromUtf8(target.listed));
            ASSERT_GE(choices.selectedTable, 0) << tables().join(" | ").toStdString();
            choices.rowByRow = rowByRow;
            m_ui = RecordingFrontEnd();
            const ImportResult result = runImport(choices, m_ui);
            EXPECT_EQ(result.rowsSent, 2);
            EXPECT_EQ(m_db.column(QStringLiteral("SELECT string_agg(k::text, ',' ORDER BY k) FROM "
                                                 "%1")
                                      .arg(QString::fromUtf8(target.sql))),
                      QStringList{"1,3"});
            ASSERT_EQ(m_ui.errorPlaces.size(), 1) << m_ui.errors.join("\n").toStdString();
            EXPECT_EQ(m_ui.errorPlaces.first(), path + ":3") << "the rejected line, named";
        }
        EXPECT_EQ(m_db.count("sales.orders") + m_db.count("public.orders"), 4)
            << "each orders took its own rows once";
    }
}

// A loading role is often given INSERT on the table and nothing else: it appends every row,
// with or without SELECT, by COPY and row by row. A role without INSERT gets the server's
// refusal once, and no false count of the table's columns.
TEST_F(AppendTargetTest, ARoleThatMayOnlyInsertAppends) {
    const TestServer& server = TestServer::get();
    const QString path = file("wo.csv", "k,v\n1,a\n2,long\n3,c\n");
    struct Grant {
        const char* privileges;
        qint64 rows;
    };
    for (const Grant grant :
         {Grant{"INSERT", 2}, Grant{"SELECT, INSERT", 2}, Grant{"SELECT", 0}, Grant{nullptr, 0}}) {
        for (const bool rowByRow : {false, true}) {
            const QString privileges =
                grant.privileges ? QString::fromUtf8(grant.privileges) : QStringLiteral("none");
            SCOPED_TRACE(privileges.toStdString() + (rowByRow ? ", row by row" : ", by COPY"));
            m_db.execute("DROP TABLE IF EXISTS wo");
            m_db.execute("CREATE TABLE wo(k int, v varchar(3))");
            if (grant.privileges)
                m_db.execute(QStringLiteral("GRANT %1 ON wo TO %2").arg(privileges, server.role));
            ImportChoices choices = append({path}, QStringLiteral("wo"));
            ASSERT_GE(choices.selectedTable, 0);
            choices.connection.user = server.role;
            choices.connection.password = server.rolePassword;
            choices.rowByRow = rowByRow;
            m_ui = RecordingFrontEnd();
            const ImportResult result = runImport(choices, m_ui);
            EXPECT_EQ(m_db.count("wo"), grant.rows);
            EXPECT_EQ(result.rowsSent, grant.rows);
            EXPECT_FALSE(m_ui.messages.join('\n').contains("columns"))
                << m_ui.messages.join('\n').toStdString();
            if (grant.rows > 0) {
                ASSERT_EQ(m_ui.errorPlaces, QStringList{path + ":3"})
                    << m_ui.errors.join("\n").toStdString();
            } else {
                ASSERT_EQ(m_ui.errors.size(), 1) << m_ui.errors.join("\n").toStdString();
                EXPECT_TRUE(m_ui.errors.first().contains("permission denied for table wo"))
                    << m_ui.errors.first().toStdString();
            }
        }
    }
}

// A table dropped after it was listed is named by the server's own words, once, and the file's
// rows are not sent anywhere else.
TEST_F(AppendTargetTest, ATableGoneSinceItWasListedGetsTheServersMessage) {
    const QString path = file("gone.csv", "k,v\n1,a\n");
    m_db.execute("CREATE TABLE gone(k int, v varchar(3))");
    const ImportChoices choices = append({path}, QStringLiteral("gone"));
    ASSERT_GE(choices.selectedTable, 0);
    m_db.execute("DROP TABLE gone");
    const ImportResult result = runImport(choices, m_ui);
    EXPECT_EQ(result.rowsSent, 0);
    ASSERT_EQ(m_ui.errors.size(), 1) << m_ui.errors.join("\n").toStdString();
    EXPECT_TRUE(m_ui.errors.first().contains("relation \"gone\" does not exist"))
        << m_ui.errors.first().toStdString();
}
