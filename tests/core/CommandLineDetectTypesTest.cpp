// quenmarl-cli --create --detect-types: each new table's columns get the types their values show
// over the whole file, every row the table was made for goes in, and an empty value in a typed
// column is NULL wherever it stands, by every way rows are sent and under both field rules.
#include "support/CommandLineKit.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using CommandLineDetectTypesTest = CommandLineFixture;

// The rows of a table as the server writes them, the same rows counted once.
QStringList distinctRows(const TestDatabase& db, const QString& table) {
    return db.rows(QStringLiteral("SELECT DISTINCT * FROM %1 ORDER BY 1 NULLS FIRST, 2 NULLS FIRST")
                       .arg(table));
}

} // namespace

// An empty value of a typed column is NULL, the first field's and a quoted one's too; a TEXT
// column keeps its rule (the empty first field and, with --quoted, a quoted empty one are the
// empty text). The same for a small file, a longer one sent by COPY, and --row-by-row.
TEST_F(CommandLineDetectTypesTest, EmptyValuesOfTypedColumnsAreNullByEveryPath) {
    const QByteArray typedFirst = ",10,007,first empty\n"
                                  "2,,012,\n"
                                  "\"3\",\"\",,\"say \"\"hi\"\"\"\n"
                                  "4,1,\"\",x\n"
                                  "\r,7,013,after a carriage return\n";
    const QByteArray textFirst = ",1\nx,\n";
    const struct {
        bool quoted;
        QStringList typedRows;
        QStringList textRows;
    } rules[] = {
        {false,
         {"<NULL>|7|013|after a carriage return", "<NULL>|10|007|first empty",
          "2|<NULL>|012|<NULL>", "3|<NULL>|<NULL>|say hi", "4|1|<NULL>|x"},
         {"|1", "x|<NULL>"}},
        {true,
         {"<NULL>|7|013|after a carriage return", "<NULL>|10|007|first empty",
          "2|<NULL>|012|<NULL>", "3|<NULL>|<NULL>|say \"hi\"", "4|1||x"},
         {"|1", "x|<NULL>"}},
    };
    int made = 0;
    for (const auto& rule : rules) {
        for (const int repeat : {1, 1000}) {
            for (const bool rowByRow : {false, true}) {
                if (repeat > 1 && rowByRow)
                    continue;
                SCOPED_TRACE(testing::Message() << "quoted " << rule.quoted << ", " << repeat
                                                << " times, row by row " << rowByRow);
                const QString a =
                    file("a.csv", "id,amount,code,note\n" + typedFirst.repeated(repeat));
                const QString b = file("b.csv", "code,n\n" + textFirst.repeated(repeat));
                QStringList arguments{"--detect-types", "--create",
                                      "t[counter]_" + QString::number(++made), a, b};
                if (rule.quoted)
                    arguments.prepend("--quoted");
                if (rowByRow)
                    arguments.prepend("--row-by-row");
                const Outcome outcome = run(arguments);
                EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
                EXPECT_EQ(outcome.err, QString());
                const QString first = QStringLiteral("t1_%1").arg(made);
                const QString second = QStringLiteral("t2_%1").arg(made);
                EXPECT_EQ(m_db.columnsOf(first),
                          (QStringList{"id integer", "amount integer", "code text", "note text"}));
                EXPECT_EQ(m_db.columnsOf(second), (QStringList{"code text", "n integer"}));
                EXPECT_EQ(m_db.count(first), 5 * repeat);
                EXPECT_EQ(m_db.count(second), 2 * repeat);
                EXPECT_EQ(distinctRows(m_db, first), rule.typedRows);
                EXPECT_EQ(distinctRows(m_db, second), rule.textRows);
            }
        }
    }
}

// Files of every type, boundary values among them and empty values anywhere, plain and quoted:
// the server takes every row the typed table was made for. Without the option every column is
// TEXT, as always.
TEST_F(CommandLineDetectTypesTest, EveryRowOfEveryTypeGoesIn) {
    const QList<QList<QByteArray>> pools{
        {"-2147483648", "2147483647", "0", "1", "-7"},
        {"2147483648", "-9223372036854775808", "9223372036854775807", "12"},
        {"9223372036854775808", "0.1", "-0.001", "1.50", "NaN", "3"},
        {"2024-02-29", "0001-01-01", "9999-12-31", "infinity", "-infinity"},
        {"2024-02-29 23:59:59.999999", "2024-02-29T10:00", "2000-01-01", "1999-12-31 00:00:00"},
        {"2024-01-01 10:00:00Z", "2024-01-01T10:00:00+05:30", "1970-01-01 00:00-0800",
         "0001-01-01 00:00:00+14"},
        {"t", "f", "TRUE", "false"},
        {"007", "12", "1e5", "2023-02-29", "24:00:00"},
    };
    const QStringList typed{"a integer",
                            "b bigint",
                            "c numeric",
                            "d date",
                            "e timestamp without time zone",
                            "f timestamp with time zone",
                            "g boolean",
                            "h text"};
    QByteArray lines = "a,b,c,d,e,f,g,h\n";
    QRandomGenerator random(27);
    const int count = 5000;
    for (int n = 0; n < count; ++n) {
        QList<QByteArray> fields;
        for (const QList<QByteArray>& pool : pools)
            fields << (random.bounded(8) == 0 ? QByteArray() : pool[random.bounded(pool.size())]);
        lines += fields.join(',') + '\n';
    }
    QByteArray quoted = lines;
    quoted.replace("TRUE", "\"TRUE\"").replace(",,", ",\"\",");
    const QString plainFile = file("plain.csv", lines);
    const QString quotedFile = file("quoted.csv", quoted);
    const QStringList withFile = typed + QStringList{"src text"};
    for (const auto& [path, options, columns] :
         QList<std::tuple<QString, QStringList, QStringList>>{
             {plainFile, {}, typed},
             {quotedFile, {"--quoted"}, typed},
             {plainFile, {"--jobs", "2", "--row-by-row"}, typed},
             {quotedFile, {"--quoted", "--file-column", "src"}, withFile},
         }) {
        SCOPED_TRACE(options.join(' ').toStdString());
        m_db.execute("DROP TABLE IF EXISTS typed1");
        const Outcome outcome =
            run(options + QStringList{"--detect-types", "--create", "typed[counter]", path});
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.err, QString());
        EXPECT_EQ(m_db.columnsOf("typed1"), columns);
        EXPECT_EQ(m_db.count("typed1"), count);
    }
    const Outcome off = run({"--create", "plain[counter]", plainFile});
    EXPECT_EQ(off.exitCode, 0);
    EXPECT_EQ(m_db.columnsOf("plain1"), (QStringList{"a text", "b text", "c text", "d text",
                                                     "e text", "f text", "g text", "h text"}));
    EXPECT_EQ(m_db.count("plain1"), count);
}
