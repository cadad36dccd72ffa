#include "sending/GroupedInsertSender.h"
#include "sending/InsertSender.h"
#include "sending/RowSenderFactory.h"
#include "support/SenderKit.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Rejections = std::vector<std::pair<qint64, QString>>;

struct Sent {
    Rejections rejections;
    qint64 accepted = 0;
    QStringList rows;
};

// The lines (a, b) into t of the schema: in groups of four, or each on its own.
Sent sendLines(const TestDatabase& db, const QString& schema, const QList<QStringList>& lines,
               bool grouped, const ConnectionSettings* as = nullptr) {
    Connection connection = Connection::open(as ? *as : db.settings());
    connection.execute(QStringLiteral("SET search_path = %1").arg(schema));
    Sent sent;
    const RowSender::Rejected rejected = [&](const LineRejection& r) {
        sent.rejections.emplace_back(r.line, r.description);
    };
    RowStatements statements("t", "data.csv", FieldRule::Plain, ",");
    std::unique_ptr<RowSender> sender;
    if (grouped) {
        GroupedInsertSender::Options options;
        options.groupLines = 4;
        sender = std::make_unique<GroupedInsertSender>(connection, std::move(statements), rejected,
                                                       options);
    } else {
        sender = std::make_unique<InsertSender>(connection, std::move(statements), rejected);
    }
    for (qsizetype i = 0; i < lines.size(); ++i)
        sender->send(fieldsRecord(i + 1, lines[i]));
    sender->finish();
    EXPECT_FALSE(sender->lostConnection().has_value());
    sent.accepted = sender->rowsAccepted();
    sent.rows =
        db.rows(QStringLiteral("SELECT * FROM %1.t ORDER BY xmin::text::bigint, ctid").arg(schema));
    return sent;
}

void expectSame(const Sent& grouped, const Sent& alone) {
    EXPECT_EQ(grouped.rejections, alone.rejections);
    EXPECT_EQ(grouped.accepted, alone.accepted);
    EXPECT_EQ(grouped.rows, alone.rows);
}

} // namespace

// Groups go only where they leave the table as one autocommitted INSERT a line leaves it: a
// check deferred to the commit would see a whole group at once.
TEST(GroupedInsertSender, SuitsNoTableWithACheckDeferredToTheCommit) {
    TestDatabase db;
    db.execute("CREATE TABLE parent (id int PRIMARY KEY); CREATE FUNCTION nothing() RETURNS "
               "trigger LANGUAGE plpgsql AS $$BEGIN RETURN NULL; END$$");
    const struct {
        const char* name;
        const char* setup; // creates t
        bool suits;
    } cases[] = {
        {"plain", "CREATE TABLE t (a text, b int)", true},
        {"statement trigger and rule",
         "CREATE TABLE t (a text, b int); CREATE TABLE seen (a text); CREATE TRIGGER s AFTER "
         "INSERT ON t EXECUTE FUNCTION nothing(); CREATE RULE r AS ON INSERT TO t DO ALSO "
         "INSERT INTO seen VALUES (NEW.a)",
         true},
        {"deferrable, checked at once",
         "CREATE TABLE t (a text, b int REFERENCES parent DEFERRABLE INITIALLY IMMEDIATE)", true},
        {"foreign key checked at the commit",
         "CREATE TABLE t (a text, b int REFERENCES parent DEFERRABLE INITIALLY DEFERRED)", false},
        {"unique checked at the commit",
         "CREATE TABLE t (a text, b int UNIQUE DEFERRABLE INITIALLY DEFERRED)", false},
        {"constraint trigger at the commit",
         "CREATE TABLE t (a text, b int); CREATE CONSTRAINT TRIGGER c AFTER INSERT ON t "
         "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION nothing()",
         false},
        {"a partition's foreign key checked at the commit",
         "CREATE TABLE t (a text, b int) PARTITION BY RANGE (b); CREATE TABLE t1 PARTITION OF "
         "t FOR VALUES FROM (0) TO (10); ALTER TABLE t1 ADD FOREIGN KEY (b) REFERENCES parent "
         "DEFERRABLE INITIALLY DEFERRED",
         false},
    };
    int number = 0;
    for (const auto& c : cases) {
        const QString schema = QStringLiteral("s%1").arg(++number);
        db.execute(QStringLiteral("CREATE SCHEMA %1; SET search_path = %1, public; %2")
                       .arg(schema, QString::fromUtf8(c.setup)));
        Connection connection = Connection::open(db.settings());
        EXPECT_EQ(GroupedInsertSender::suits(connection, schema + ".t"), c.suits) << c.name;
    }
}

// A group whose COMMIT fails (a unique check deferred to it) is sent again line by line: the
// same rows and messages as one autocommitted INSERT each. So is a role that may not make the
// groups' markers, whose first group opens again without one.
TEST(GroupedInsertSender, AGroupThatFailsAsAWholeGoesLineByLine) {
    TestDatabase db;
    const QList<QStringList> lines{{"a", "1"}, {"b", "2"}, {"c", "1"}, {"d", "x"}, {"e", "3"},
                                   {"f", "4"}, {"g", "3"}, {"h", "5"}, {"i", "6"}};
    for (const char* schema : {"ga", "gg"})
        db.execute(QStringLiteral("CREATE SCHEMA %1; CREATE TABLE %1.t (a text, b int UNIQUE "
                                  "DEFERRABLE INITIALLY DEFERRED)")
                       .arg(schema));
    const Sent alone = sendLines(db, "ga", lines, false);
    EXPECT_EQ(alone.rejections.size(), 3u) << "two duplicates, one bad number";
    expectSame(sendLines(db, "gg", lines, true), alone);

    db.execute("CREATE SCHEMA ma; CREATE TABLE ma.t (a text, b int CHECK (b < 5)); "
               "CREATE SCHEMA mg; CREATE TABLE mg.t (a text, b int CHECK (b < 5))");
    db.execute("REVOKE EXECUTE ON FUNCTION lo_from_bytea(oid, bytea) FROM PUBLIC");
    const QString role = TestServer::get().role;
    db.execute(QStringLiteral("GRANT USAGE ON SCHEMA ma, mg TO %1; GRANT INSERT, SELECT ON ma.t, "
                              "mg.t TO %1")
                   .arg(role));
    ConnectionSettings asRole = db.settings();
    asRole.user = role;
    asRole.password = TestServer::get().rolePassword;
    expectSame(sendLines(db, "mg", lines, true, &asRole), sendLines(db, "ma", lines, false));
}

// Where COPY can't go, the run sends in groups unless one INSERT each was asked for.
TEST(GroupedInsertSender, ChosenWhereCopyCannotGoUnlessEachAloneIsAsked) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a text, b int); CREATE FUNCTION nothing() RETURNS trigger "
               "LANGUAGE plpgsql AS $$BEGIN RETURN NULL; END$$; CREATE TRIGGER s AFTER INSERT "
               "ON t EXECUTE FUNCTION nothing()");
    Connection connection = Connection::open(db.settings());
    for (const bool rowByRow : {false, true}) {
        SenderChoice choice;
        choice.table = "t";
        choice.path = "data.csv";
        choice.rule = FieldRule::Plain;
        choice.separator = ",";
        choice.rowByRow = rowByRow;
        const std::unique_ptr<RowSender> sender =
            makeRowSender(connection, choice, 2, [](const LineRejection&) {});
        EXPECT_EQ(dynamic_cast<GroupedInsertSender*>(sender.get()) != nullptr, !rowByRow);
        EXPECT_EQ(dynamic_cast<InsertSender*>(sender.get()) != nullptr, rowByRow);
    }
}

// A stop asked for while lines are gathered: the groups sent are committed and counted, the
// lines gathered for the next one and every later line are left unsent and unreported.
TEST(GroupedInsertSender, AStopLeavesTheLinesGatheredUnsent) {
    TestDatabase db;
    db.execute("CREATE TABLE t (a text, n int CHECK (n <> 3))");
    Connection connection = Connection::open(db.settings());
    bool stop = false;
    Rejections rejections;
    GroupedInsertSender::Options options;
    options.groupLines = 4;
    options.stopRequested = [&] { return stop; };
    GroupedInsertSender sender(
        connection, RowStatements("t", "data.csv", FieldRule::Plain, ","),
        [&](const LineRejection& r) { rejections.emplace_back(r.line, r.description); }, options);
    for (int line = 1; line <= 10; ++line) {
        stop = line > 9; // lines 9 and 10 wait for the third group
        sender.send(fieldsRecord(line, {"a", QString::number(line)}));
    }
    sender.finish();
    EXPECT_EQ(sender.rowsAccepted(), 7);
    ASSERT_EQ(rejections.size(), 1u);
    EXPECT_EQ(rejections[0].first, 3);
    EXPECT_EQ(db.rows("SELECT count(*), min(n), max(n) FROM t"), QStringList{"7|1|8"});
}
