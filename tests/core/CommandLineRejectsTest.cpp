#include "support/CommandLineKit.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

// --rejects DIR: for each file with rejected rows, its first line and exactly those rows, byte
// for byte, and the reasons beside them; names that never overwrite; one summary line.

namespace {

// The rows of a reasons file after its header, each as "LINE,SQLSTATE".
QStringList reasonKeys(const QByteArray& csv) {
    QStringList lines = QString::fromUtf8(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_FALSE(lines.isEmpty());
    if (lines.isEmpty())
        return {};
    EXPECT_EQ(lines.takeFirst(), QStringLiteral("line,SQLSTATE,message"));
    QStringList keys;
    for (const QString& line : lines) {
        EXPECT_TRUE(line.contains(QStringLiteral("value too long"))) << line.toStdString();
        keys << line.section(QLatin1Char(','), 0, 1);
    }
    return keys;
}

const QRegularExpression Summary(
    QStringLiteral("^quenmarl-cli: (\\d+) of (\\d+) file\\(s\\) imported, ([\\d,]+) row\\(s\\) "
                   "in, ([\\d,]+) line\\(s\\) rejected, 0 line\\(s\\) not sent, (\\d+) file\\(s\\) "
                   "and 0 line\\(s\\) passed over, in \\d+\\.\\d s\\.$"),
    QRegularExpression::MultilineOption);

struct BytesCase {
    const char* name;
    bool quoted;
    QByteArray file;
    QByteArray rejected; // what NAME.rejected holds
    QStringList reasons; // "LINE,SQLSTATE" of each rejected record
    qint64 rowsIn;
    bool noHeader = false; // --no-header: the first line is a row, kept only when rejected
};

std::ostream& operator<<(std::ostream& out, const BytesCase& c) {
    return out << c.name;
}

const BytesCase BytesCases[] = {
    {"Utf8WithoutFinalLineEnd",
     false,
     "a,b\n1,x\nlong,\xc3\xa9\n2,y\ntoolong,z",
     "a,b\nlong,\xc3\xa9\ntoolong,z",
     {"3,22001", "5,22001"},
     2},
    {"Windows1252WithCrLf",
     false,
     "a,b\r\n1,x\r\nlong,caf\xe9\r\n2,y\r\n",
     "a,b\r\nlong,caf\xe9\r\n",
     {"3,22001"},
     2},
    {"ByteOrderMarkAndCarriageReturnsOnly",
     false,
     "\xef\xbb\xbf"
     "a,b\r1,x\rlong,y\r",
     "\xef\xbb\xbf"
     "a,b\rlong,y\r",
     {"3,22001"},
     1},
    {"QuotedRecordOverTwoLines",
     true,
     "a,b\n1,x\n\"long\",\"two\r\nlines\"\n2,y\n",
     "a,b\n\"long\",\"two\r\nlines\"\n",
     {"3,22001"},
     2},
    {"QuotedHeaderOverTwoLines",
     true,
     "\"a\",\"b\nc\"\n1,x\nlong,\"y\"\"\"\n",
     "\"a\",\"b\nc\"\nlong,\"y\"\"\"\n",
     {"4,22001"},
     1},
};

} // namespace

class CommandLineRejectsBytesTest
    : public CommandLineFixture,
      public ::testing::WithParamInterface<std::tuple<BytesCase, bool>> {};

// Through COPY and row by row, the saved lines are the file's own bytes, and the reasons name
// each line with the server's SQLSTATE, as standard error does. Without a header line
// (--no-header) the saved lines are exactly the rejected records, the first among them once
// when it was rejected, so that they load again as the file did.
TEST_P(CommandLineRejectsBytesTest, TheRejectedLinesAreKeptByteForByte) {
    const auto& [c, rowByRow] = GetParam();
    m_db.execute("CREATE TABLE t(a varchar(3), b text)");
    const QString input = file(QStringLiteral("in.csv"), c.file);
    const QString out = m_dir.path() + QStringLiteral("/rejects");
    QStringList rest{"--rejects", out, "--append", "t", input};
    if (c.quoted)
        rest.prepend("--quoted");
    if (rowByRow)
        rest.prepend("--row-by-row");
    if (c.noHeader)
        rest.prepend("--no-header");
    const Outcome outcome = run(rest);
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();
    EXPECT_EQ(readTestFile(out + QStringLiteral("/in.csv.rejected")), c.rejected);
    EXPECT_EQ(reasonKeys(readTestFile(out + QStringLiteral("/in.csv.rejected.csv"))), c.reasons);
    QList<int> named; // the lines standard error names are the lines the reasons name
    for (const QString& key : c.reasons)
        named << key.section(QLatin1Char(','), 0, 0).toInt();
    EXPECT_EQ(namedLines(outcome.err, QStringLiteral("in.csv")), named);
    EXPECT_EQ(m_db.count("t"), c.rowsIn);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Files, CommandLineRejectsBytesTest,
                         ::testing::Combine(::testing::ValuesIn(BytesCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "RowByRow" : "ByCopy");
                         });

class CommandLineRejectsTest : public CommandLineFixture {};

// Two inputs of one name and a pair already in the folder: each gets names of its own and the
// existing file stays as it was; a clean file leaves nothing; the folder is made; the summary
// line counts the run, and --quiet leaves it out. The saved lines, fixed, load with no rejection.
TEST_F(CommandLineRejectsTest, NamesNeverOverwriteAndTheFixedLinesLoadAgain) {
    m_db.execute("CREATE TABLE t(n int, t varchar(8))");
    ASSERT_TRUE(QDir().mkpath(m_dir.path() + "/a") && QDir().mkpath(m_dir.path() + "/b"));
    const QString first = file("a/data.csv", numberedLines(30, 10));
    const QString second = file("b/data.csv", numberedLines(5, 5));
    const QString clean = file("clean.csv", numberedLines(4));
    const QString out = m_dir.path() + "/out/sub";
    ASSERT_TRUE(QDir().mkpath(out));
    writeTestFile(m_dir, "out/sub/data.csv.rejected", "keep");

    const Outcome outcome = run({"--rejects", out, "--append", "t", first, clean, second});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(readTestFile(out + "/data.csv.rejected"), "keep");
    EXPECT_FALSE(QFile::exists(out + "/data.csv.rejected.csv"));
    EXPECT_EQ(readTestFile(out + "/data.csv.2.rejected"),
              "n,t\n10,much too long for the column\n20,much too long for the column\n"
              "30,much too long for the column\n");
    EXPECT_EQ(reasonKeys(readTestFile(out + "/data.csv.2.rejected.csv")),
              QStringList({"11,22001", "21,22001", "31,22001"}));
    EXPECT_EQ(readTestFile(out + "/data.csv.3.rejected"), "n,t\n5,much too long for the column\n");
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 5) << "nothing for the clean file";

    const QRegularExpressionMatch summary = Summary.match(outcome.summary);
    ASSERT_TRUE(summary.hasMatch()) << outcome.summary.toStdString();
    EXPECT_EQ(summary.captured(1), "3") << "a file with rejected rows had them all sent";
    EXPECT_EQ(summary.captured(2), "3");
    EXPECT_EQ(summary.captured(3), "35");
    EXPECT_EQ(summary.captured(4), "4");
    EXPECT_EQ(summary.captured(5), "0");
    EXPECT_EQ(outcome.err.count(QStringLiteral("quenmarl-cli: ")), 0) << "one summary line";

    // The saved lines, fixed as a person would, go in as they are.
    QByteArray fixed = readTestFile(out + "/data.csv.2.rejected");
    fixed.replace("much too long for the column", "fixed");
    const Outcome again = run({"--quiet", "--append", "t", file("fixed.csv", fixed)});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(m_db.count("t"), 38);

    const Outcome quiet =
        run({"--quiet", "--rejects", out, "--append", "t", file("q.csv", numberedLines(2, 2))});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.summary, QString()) << quiet.err.toStdString();
    EXPECT_EQ(readTestFile(out + "/q.csv.rejected"), "n,t\n2,much too long for the column\n");
}

// A rejects folder that is a file, or can't be made, is a usage error before anything is sent.
TEST_F(CommandLineRejectsTest, AFolderThatCantBeUsedIsAUsageError) {
    m_db.execute("CREATE TABLE t(n int, t varchar(8))");
    const QString input = file("in.csv", numberedLines(3, 2));
    const QString notFolder = file("plain", "x");
    for (const QString& folder : {notFolder, notFolder + "/below", QString()}) {
        const Outcome outcome = run({"--rejects", folder, "--append", "t", input});
        EXPECT_EQ(outcome.exitCode, 2) << folder.toStdString();
        EXPECT_EQ(outcome.err.count(QLatin1Char('\n')), 2) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.startsWith(QStringLiteral("quenmarl-cli: --rejects")))
            << outcome.err.toStdString();
    }
    EXPECT_EQ(m_db.count("t"), 0);
}

// A million lines with one bad value in 10,000: the 100 bad lines, no more, after the header.
TEST_F(CommandLineRejectsTest, AMillionLinesGiveTheirHundredBadOnes) {
    m_db.execute("CREATE TABLE t(n int, t varchar(8))");
    const QString input = file("big.csv", numberedLines(1000000, 10000));
    const QString out = m_dir.path() + "/rejects";
    const Outcome outcome = run({"--rejects", out, "--append", "t", input});
    EXPECT_EQ(outcome.exitCode, 1);
    const QList<QByteArray> lines = readTestFile(out + "/big.csv.rejected").split('\n');
    ASSERT_EQ(lines.size(), 102); // the header, 100 lines and the empty rest after the last
    EXPECT_EQ(lines[1], "10000,much too long for the column");
    EXPECT_EQ(lines[100], "1000000,much too long for the column");
    EXPECT_EQ(m_db.count("t"), 999900);
}
