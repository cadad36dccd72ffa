#include "support/CommandLineKit.h"

// --match-names and --file-column on the command line: the rows where the names say, each with
// its file's path as given, the warning of a header in another order while the values go by
// position, and the usage errors of options that do not go together.

namespace {

struct Case {
    const char* name;
    QStringList options; // before FILE
    QByteArray file;
    int exitCode;
    QStringList rows; // the table's rows afterwards, by id; "PATH" stands for the file's path
    QString err;      // what standard error holds after "PATH"; empty: nothing at all
};

const Case Cases[] = {
    {"by names, in another order and case",
     {"--append", "t", "--match-names"},
     "V,ID\nx,1\n",
     0,
     {"1|x|<NULL>"},
     {}},
    {"by names with the file's path",
     {"--append", "t", "--match-names", "--file-column", "src"},
     "v,id\nx,1\ny,2\n",
     0,
     {"1|x|PATH", "2|y|PATH"},
     {}},
    {"by position with the file's path",
     {"--append", "t", "--file-column=src"},
     "id,v\n1,x\n",
     0,
     {"1|x|PATH"},
     {}},
    {"a field that names no column",
     {"--append", "t", "--match-names"},
     "id,w\n1,x\n",
     4,
     {},
     ": passed over: the fields of its first line do not match the table's columns by name: no "
     "column is named \"w\"; the table's columns are \"id\", \"v\", \"src\"; no row was sent.\n"},
    {"by position, a header in another order is warned of",
     {"--append", "t", "--file-column", "src"},
     "v,id\n1,2\n",
     0,
     {"1|2|PATH"},
     ":1: warning: the first line names the columns of t in another order; the values go by "
     "position (--match-names matches them by name)\n"},
    {"no warning without a header line",
     {"--append", "t", "--file-column", "src", "--no-header"},
     "v,id\n1,2\n",
     1,
     {"1|2|PATH"},
     ":1: ERROR:  invalid input syntax for type integer: \"v\"\n"},
};

} // namespace

class CommandLineMatchNamesTest : public CommandLineFixture {};

TEST_F(CommandLineMatchNamesTest, FieldsGoWhereTheirNamesSayWithTheirFilesPath) {
    m_db.execute("CREATE TABLE t(id int, v text, src text)");
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        m_db.execute("TRUNCATE t");
        const QString path = file(QStringLiteral("in.csv"), c.file);
        const Outcome outcome = run(c.options + QStringList{path});
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err.toStdString();
        QStringList rows;
        for (QString row : c.rows)
            rows.append(row.replace("PATH", path));
        EXPECT_EQ(m_db.rows("SELECT * FROM t ORDER BY id"), rows);
        EXPECT_EQ(outcome.err, c.err.isEmpty() ? QString() : path + c.err);
    }
}

TEST_F(CommandLineMatchNamesTest, ANewTableGetsTheFileColumnLast) {
    const QString path = file(QStringLiteral("in.csv"), "a,b\n1,2\n");
    const Outcome outcome = run({"--create", "n[counter]", "--file-column", "from", path});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(m_db.columnsOf("n1"), (QStringList{"a text", "b text", "from text"}));
    EXPECT_EQ(m_db.rowsOf("n1"), QStringList{"1|2|" + path});
}

TEST_F(CommandLineMatchNamesTest, OptionsThatDoNotGoTogetherAreUsageErrors) {
    const QString path = file(QStringLiteral("in.csv"), "a,b\n");
    const struct {
        QStringList options;
        const char* problem;
    } cases[] = {
        {{"--create", "x", "--match-names"}, "--match-names goes with --append and a header line"},
        {{"--append", "x", "--match-names", "--no-header"},
         "--match-names goes with --append and a header line"},
        {{"--append", "x", "--file-column="}, "--file-column needs a column name"},
        {{"--append", "x", "--match-names=yes"}, "--match-names takes no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        const Outcome outcome = run(c.options + QStringList{path});
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.err, QStringLiteral("quenmarl-cli: %1\nTry 'quenmarl-cli --help'.\n")
                                   .arg(QString::fromUtf8(c.problem)));
    }
}
