#include "support/CommandLineKit.h"

// --separator takes "\t" for a Tab, by the main window's rule: tab-separated files load into
// their columns however the option is written.

namespace {

struct SeparatorCase {
    const char* name;
    QStringList options; // before FILE
    QByteArray file;
    QString table;
    QStringList rows; // the table's rows afterwards, by its first column
};

const QByteArray Tsv = "Name\tCity\nAnn\tRome\nBob\tOslo, NO\n";

const SeparatorCase SeparatorCases[] = {
    {"backslash t",
     {"--separator", "\\t", "--create", "bs"},
     Tsv,
     "bs",
     {"Ann|Rome", "Bob|Oslo, NO"}},
    {"backslash t after =",
     {"--separator=\\t", "--create", "eq"},
     Tsv,
     "eq",
     {"Ann|Rome", "Bob|Oslo, NO"}},
    {"a Tab as it is",
     {"--separator", "\t", "--create", "tab"},
     Tsv,
     "tab",
     {"Ann|Rome", "Bob|Oslo, NO"}},
    {"a Tab between other characters",
     {"--separator", "\\t|\\t", "--create", "mixed"},
     "a\t|\tb\nx\ty\t|\tz\n",
     "mixed",
     {"x\ty|z"}},
    {"quoted",
     {"--quoted", "--separator", "\\t", "--create", "q"},
     "a\tb\n\"x\ty\"\tz\n",
     "q",
     {"x\ty|z"}},
    {"appended without a header line",
     {"--separator", "\\t", "--no-header", "--append", "bs"},
     "Cid\tLima\n",
     "bs",
     {"Ann|Rome", "Bob|Oslo, NO", "Cid|Lima"}},
};

} // namespace

class CommandLineSeparatorTest : public CommandLineFixture {};

TEST_F(CommandLineSeparatorTest, BackslashTStandsForATab) {
    for (const SeparatorCase& c : SeparatorCases) {
        SCOPED_TRACE(c.name);
        const QString path = file(QStringLiteral("in.tsv"), c.file);
        const Outcome outcome = run(c.options + QStringList{path});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out, QStringLiteral("Done.\n"));
        EXPECT_EQ(m_db.rows(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(c.table)), c.rows);
    }
}
