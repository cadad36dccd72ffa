// What quenmarl-cli says, by default and with --full-messages: the lines of errors and of the
// field-count report, the closing line, and usage errors.
#include "support/CommandLineKit.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QString Step = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click at line ");
const QString EmailRequest =
    QStringLiteral("Please email screenshot of this message to support@vantrell.example");

class CommandLineMessageTest : public CommandLineFixture {
protected:
    // An "Application Error" as --full-messages prints it: the place's line, the whole text
    // with its line breaks as "\n", and a blank line.
    static QString fullError(const QString& place, const QString& description, int step) {
        return place + "\n" + description + "\n" + Step + QString::number(step) + "\n\n" +
               EmailRequest + "\n\n";
    }

    // The closing line of a run in which something failed; counts runs from the files imported
    // to the count of files passed over ("... and 0 file(s)").
    static QString incomplete(const QString& counts) {
        return QStringLiteral("Import incomplete. %1 were passed over.\n").arg(counts);
    }
};

} // namespace

// Each failure by default and with --full-messages. By default: "PATH:LINE: " and the server's
// first line, then its DETAIL on a line of its own, nothing of libpq's LINE and caret lines,
// HINT or CONTEXT, nor of the step and the e-mail request; the field-count report's line is
// counted from 1. With --full-messages: the texts of earlier versions, byte for byte.
TEST_F(CommandLineMessageTest, ErrorsAndTheReportByDefaultAndInFull) {
    m_db.execute("CREATE TABLE nums(label TEXT, n INTEGER CHECK (n <> 13), v VARCHAR(3))");
    m_db.execute("CREATE TABLE trig(a TEXT, b TEXT)");
    m_db.execute("CREATE VIEW dup AS SELECT 1 AS one"); // a name the table list does not show
    m_db.execute("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE "
                 "EXCEPTION 'no %', NEW.a USING DETAIL = 'the detail', HINT = 'a hint'; END $$");
    m_db.execute("CREATE TRIGGER refuse BEFORE INSERT ON trig FOR EACH ROW EXECUTE FUNCTION "
                 "refuse()");
    const QString syntax = file("syntax.csv", "label,n,v\na,1,x\nc,x,z\n");
    const QString check = file("check.csv", "label,n,v\nb,13,y\n");
    const QString twoLines = file("twolines.csv", "label,n,v\ne,\"two\nlines\",q\n");
    const QString trigger = file("trigger.csv", "a,b\nx,y\n");
    const QString twice = file("twice.csv", "a,b\n1,2\n");
    const QString cut = file("cut.csv", "name,n\n1,2\n\n3,4,5\n");

    const QString checkDescription =
        "ERROR:  new row for relation \"nums\" violates check constraint \"nums_n_check\"\n"
        "DETAIL:  Failing row contains (b, 13, y).";
    const QString twiceDescription = "ERROR:  relation \"dup\" already exists";
    const QString twiceSkipped = twice + " was skipped because its table \"dup\" could not be "
                                         "created; no row was sent.\n";
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        QString err;     // by default
        QString fullErr; // with --full-messages; empty: begins with the default's place only
        QString out;     // by default
        QString fullOut; // with --full-messages
    } cases[] = {
        {"a rejected row",
         {"--append", "nums", syntax},
         1,
         syntax + ":3: ERROR:  invalid input syntax for type integer: \"x\"\n",
         "",
         incomplete("1 of 1 file(s) and 1 row(s) were imported; 1 error(s) were reported and 0 "
                    "file(s)"),
         "Done.\n"},
        {"a rejected row with a DETAIL",
         {"--append", "nums", check},
         1,
         check +
             ":2: ERROR:  new row for relation \"nums\" violates check constraint "
             "\"nums_n_check\"\n" +
             check + ":2: DETAIL:  Failing row contains (b, 13, y).\n",
         fullError(check + ":2:", checkDescription, 342),
         incomplete("1 of 1 file(s) and 0 row(s) were imported; 1 error(s) were reported and 0 "
                    "file(s)"),
         "Done.\n"},
        {"a value over two lines",
         {"--quoted", "--append", "nums", twoLines},
         1,
         twoLines + ":2: ERROR:  invalid input syntax for type integer: \"two^Jlines\"\n",
         "",
         incomplete("1 of 1 file(s) and 0 row(s) were imported; 1 error(s) were reported and 0 "
                    "file(s)"),
         "Done.\n"},
        {"a trigger's DETAIL, without its HINT and CONTEXT",
         {"--append", "trig", trigger},
         1,
         trigger + ":2: ERROR:  no x\n" + trigger + ":2: DETAIL:  the detail\n",
         fullError(trigger + ":2:",
                   "ERROR:  no x\nDETAIL:  the detail\nHINT:  a hint\nCONTEXT:  PL/pgSQL function "
                   "refuse() line 1 at RAISE",
                   342),
         incomplete("1 of 1 file(s) and 0 row(s) were imported; 1 error(s) were reported and 0 "
                    "file(s)"),
         "Done.\n"},
        {"a file's table not created",
         {"--create", "dup", twice},
         1,
         twice + ": " + twiceDescription + "\n",
         fullError(twice + ":", twiceDescription, 190),
         twiceSkipped + incomplete("0 of 1 file(s) and 0 row(s) were imported; 1 error(s) were "
                                   "reported and 0 file(s)"),
         twiceSkipped + "Done.\n"},
        {"the field-count report",
         {"--create", "cut", cut},
         3,
         cut + ":4: 3,4,5\n",
         cut + ":\nLine no 3: 3,4,5\n",
         "",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome brief = run(c.arguments);
        EXPECT_EQ(brief.exitCode, c.exitCode);
        EXPECT_EQ(brief.err, c.err);
        EXPECT_EQ(brief.out, c.out);

        const Outcome full = run(QStringList{"--full-messages"} + c.arguments);
        EXPECT_EQ(full.exitCode, c.exitCode) << "the exit status is the same";
        EXPECT_EQ(full.out, c.fullOut);
        if (!c.fullErr.isEmpty()) {
            EXPECT_EQ(full.err, c.fullErr);
            continue;
        }
        // libpq's LINE and caret lines quote the statement: only the frame is checked.
        const QString place = c.err.left(c.err.indexOf(QLatin1String(": ERROR:")) + 1);
        const QString first = c.err.mid(place.size() + 1)
                                  .section(QLatin1Char('\n'), 0, 0)
                                  .replace(QLatin1String("^J"), QLatin1String("\n"));
        EXPECT_TRUE(full.err.startsWith(place + "\n" + first + "\n")) << full.err.toStdString();
        EXPECT_TRUE(full.err.endsWith("\n" + Step + "342\n\n" + EmailRequest + "\n\n"))
            << full.err.toStdString();
    }
}

// "Done." only when nothing was rejected, reported or passed over; otherwise one line that
// counts what went in and what did not, in place of "Done." or "Table(s) already exist.",
// counts grouped by thousands. --full-messages keeps the earlier closing message.
TEST_F(CommandLineMessageTest, DoneOnlyWhenNothingFailed) {
    m_db.execute("CREATE TABLE people(name TEXT, n INTEGER)");
    QByteArray many = "name,n\n";
    for (int i = 1; i <= 1234; ++i)
        many += "p" + QByteArray::number(i) + "," + QByteArray::number(i) + "\n";
    const QString big = file("big.csv", many);
    const QString bad = file("bad.csv", "name,n\nBob,x\n");
    const QString wide = file("wide.csv", "name,n,city\nAnn,1,Rome\n");
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        QString out;
        QString fullOut;
    } cases[] = {
        {"nothing failed", {"--append", "people", big}, 0, "Done.\n", "Done.\n"},
        {"a rejected row, counts grouped",
         {"--append", "people", big, bad, big},
         1,
         incomplete("3 of 3 file(s) and 2,468 row(s) were imported; 1 error(s) were reported "
                    "and 0 file(s)"),
         "Done.\n"},
        {"a file passed over",
         {"--append", "people", wide, big},
         4,
         incomplete("1 of 2 file(s) and 1,234 row(s) were imported; 0 error(s) were reported "
                    "and 1 file(s)"),
         "Done.\n"},
        {"a table name listed",
         {"--create", "once", big, big},
         4,
         incomplete("1 of 2 file(s) and 1,234 row(s) were imported; 0 error(s) were reported "
                    "and 1 file(s)"),
         "Table(s) already exist.\n"},
    };
    int runs = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool fullMessages : {false, true}) {
            QStringList arguments = c.arguments;
            ++runs;
            for (QString& argument : arguments)
                if (argument == QLatin1String("once")) // a template of its own for every run
                    argument += QString::number(runs);
            const Outcome outcome =
                run((fullMessages ? QStringList{"--full-messages"} : QStringList()) + arguments);
            EXPECT_EQ(outcome.exitCode, c.exitCode);
            EXPECT_TRUE(outcome.out.endsWith(fullMessages ? c.fullOut : c.out))
                << outcome.out.toStdString();
            EXPECT_EQ(outcome.out.count(QLatin1String("Done.")) +
                          outcome.out.count(QLatin1String("Table(s) already exist.")) +
                          outcome.out.count(QLatin1String("Import incomplete.")),
                      1)
                << "one closing line";
        }
    }
}

// A usage error is one line naming it and one pointing to --help, on standard error, exit
// status 2; nothing is connected to or imported.
TEST_F(CommandLineMessageTest, UsageErrorsAreOneLineAndAPointerToHelp) {
    const QString good = file("good.csv", "a,b\n1,2\n");
    const struct {
        const char* name;
        QStringList arguments;
        QString problem;
    } cases[] = {
        {"unknown option", {"--create", "t", "--fast", good}, "unknown option --fast"},
        {"missing value", {good, "--create"}, "--create needs a value"},
        {"a switch given a value",
         {"--quoted=yes", "--create", "t", good},
         "--quoted takes no value"},
        {"--full-messages given a value",
         {"--full-messages=yes", "--create", "t", good},
         "--full-messages takes no value"},
        {"both table options",
         {"--create", "t", "--append", "u", good},
         "--create and --append exclude each other"},
        {"no table option", {good}, "either --create TEMPLATE or --append TABLE is needed"},
        {"an empty separator",
         {"--separator", "", "--create", "t", good},
         "--separator must not be empty"},
        {"an empty separator after =",
         {"--separator=", "--create", "t", good},
         "--separator must not be empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.err, "quenmarl-cli: " + c.problem + "\nTry 'quenmarl-cli --help'.\n");
        EXPECT_EQ(outcome.out, QString());
    }
    EXPECT_EQ(m_db.column("SELECT to_regclass('t')"), QStringList{"<NULL>"});
}
