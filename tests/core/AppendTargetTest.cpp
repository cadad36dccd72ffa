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
