#include "sending/Statements.h"
#include "shell/NumberText.h"
#include "support/ImportFixture.h"
#include "support/StandardErrorCapture.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

class ImportRunTest : public ImportFixture {};

} // namespace

TEST_F(ImportRunTest, StartChecksComeInOrderAndOpenNothing) {
    const struct {
        const char* name;
        QStringList files;
        ImportChoices::TableMode mode;
        int selected;
        QString nameTemplate;
        QString message;
    } cases[] = {
        {"no files before no table",
         {},
         ImportChoices::TableMode::Append,
         -1,
         "x",
         "No files added."},
        {"no table selected",
         {"a"},
         ImportChoices::TableMode::Append,
         -1,
         "x",
         "Please select a table."},
        {"template listed, compared lower-cased",
         {"a"},
         ImportChoices::TableMode::Create,
         -1,
         "PEOPLE",
         "Table name already exists."},
    };
    for (const auto& c : cases) {
        RecordingFrontEnd ui;
        ImportChoices choices = create(c.files, c.nameTemplate);
        choices.existingTables = {"people"};
        choices.mode = c.mode;
        choices.selectedTable = c.selected;
        choices.connection.password = QStringLiteral("wrong"); // a connection would fail
        const ImportResult result = runImport(choices, ui);
        EXPECT_EQ(result.outcome, ImportOutcome::StartCheckFailed) << c.name;
        EXPECT_EQ(ui.log, QStringList{QStringLiteral("message: ") + c.message}) << c.name;
        EXPECT_TRUE(ui.closings.isEmpty()) << c.name << ": a start check is no closing";
        EXPECT_TRUE(ui.busyChanges.isEmpty()) << c.name;
    }
}

TEST_F(ImportRunTest, CreatesOneTablePerFileFromTheFirstLine) {
    const QString a = file("a.csv", "First Name,Last,Mid,State\r\nPeter,O'Neil,,\"NH\"\r\n"
                                    "Ann,Lee,X,CA\r\n");
    const QString b = file("b.csv", "First Name,E-mail,Zip\n,x@y,\n\nAnn,a@b,123\n");
    const QString c = file("c.txt", "k||v\na|b||c\n");
    ImportChoices choices = create({a, b, c});
    choices.separator = QStringLiteral(",");
    ImportChoices third = choices;

    const ImportResult result = runImport(choices, m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    EXPECT_EQ(m_ui.log,
              (QStringList{
                  "message: No rows were sent from " + c + ": no line holds the separator \",\".",
                  "passed over: " + c + ": no line holds the separator \",\"; no row was sent.",
                  "message: Done."}));
    EXPECT_EQ(result.rowsSent, 4);
    EXPECT_EQ(result.filesPassedOver, 1);
    EXPECT_EQ(result.filesImported, 2);
    EXPECT_EQ(m_ui.listed, (QStringList{"NewTable1", "NewTable2", "NewTable3"}));
    EXPECT_EQ(m_ui.busyChanges, (QList<bool>{true, false, true, false, true, false}));

    EXPECT_EQ(m_db.columnsOf("NewTable1"),
              (QStringList{"FirstName text", "Last text", "Mid text", "State text"}));
    EXPECT_EQ(m_db.rowsOf("NewTable1"), (QStringList{"Peter|O'Neil|<NULL>|NH", "Ann|Lee|X|CA"}));
    EXPECT_EQ(m_db.columnsOf("NewTable2"),
              (QStringList{"FirstName text", "Email text", "Zip text"}));
    EXPECT_EQ(m_db.rowsOf("NewTable2"), (QStringList{"|x@y|<NULL>", "Ann|a@b|123"}))
        << "empty first value is the empty text, a single-field line is passed over";
    // The third file with "," as separator: one column "kv", and no data line has two fields.
    EXPECT_EQ(m_db.columnsOf("NewTable3"), QStringList{"kv text"});
    EXPECT_TRUE(m_db.rowsOf("NewTable3").isEmpty());
}

TEST_F(ImportRunTest, SeparatorIsMatchedWhole) {
    const QString c = file("c.txt", "key||value\na|b||c|d\n");
    ImportChoices choices = create({c}, QStringLiteral("Bars"));
    choices.separator = QStringLiteral("||");
    EXPECT_EQ(runImport(choices, m_ui).outcome, ImportOutcome::Done);
    EXPECT_EQ(m_db.rowsOf("Bars"), QStringList{"a|b|c|d"}); // values "a|b" and "c|d"
    EXPECT_EQ(m_db.column("SELECT key FROM \"Bars\""), QStringList{"a|b"});
}

TEST_F(ImportRunTest, TypedNamesAskForEachFieldAndAnEmptyAnswerSkipsTheFile) {
    const QString a = file("a.csv", "x,y,z\n1,2,3\n");
    const QString b = file("b.csv", "x,y,z\n4,5,6\n");
    ImportChoices choices = create({a, b});
    choices.names = ImportChoices::ColumnNames::Typed;
    m_ui.answers = {"Col One", "two", "3rd!", "only", ""};

    const ImportResult result = runImport(choices, m_ui);
    EXPECT_EQ(m_ui.prompts, (QStringList{"Enter name for column #1:", "Enter name for column #2:",
                                         "Enter name for column #3:", "Enter name for column #1:",
                                         "Enter name for column #2:"}));
    EXPECT_EQ(m_ui.defaults, QStringList(5, QString()));
    EXPECT_EQ(m_db.columnsOf("NewTable1"), (QStringList{"ColOne text", "two text", "3rd text"}));
    EXPECT_EQ(m_db.rowsOf("NewTable1"), QStringList{"1|2|3"});
    EXPECT_FALSE(tables().contains("NewTable2")) << "no table after an empty answer";
    EXPECT_EQ(m_ui.listed, QStringList{"NewTable1"}) << "the skipped file's name is not listed";
    EXPECT_EQ(m_ui.log, (QStringList{"passed over: " + b +
                                         ": no name was given for column #2; no table was "
                                         "created and no row was sent.",
                                     "message: Done."}))
        << "no row was sent for the skipped file";
    EXPECT_EQ(result.errorsReported, 0);
    EXPECT_EQ(result.filesPassedOver, 1);
}

TEST_F(ImportRunTest, ExistingTableNamesSkipFilesAndDecideTheClosingMessage) {
    const QString a = file("a.csv", "h1,h2\n1,2\n");
    const QString b = file("b.csv", "h1,h2\n3,4\n");
    // A template without "[counter]": the second file finds the first file's table listed.
    const ImportResult same = runImport(create({a, b}, QStringLiteral("Same")), m_ui);
    EXPECT_EQ(same.outcome, ImportOutcome::TablesExisted);
    EXPECT_EQ(m_ui.log, (QStringList{"passed over: " + b +
                                         ": the table name \"Same\" is already in the list of "
                                         "existing tables; no row was sent.",
                                     "message: Table(s) already exist."}));
    EXPECT_EQ(same.filesPassedOver, 1);
    EXPECT_EQ(m_db.rowsOf("Same"), QStringList{"1|2"});

    // Only the first file's name exists: skipped, the others imported, and "Done.".
    m_db.execute("CREATE TABLE \"T1\"(a TEXT)");
    RecordingFrontEnd ui;
    EXPECT_EQ(runImport(create({a, b, a}, QStringLiteral("T[counter]")), ui).outcome,
              ImportOutcome::Done);
    EXPECT_EQ(ui.listed, (QStringList{"T2", "T3"}));
    EXPECT_TRUE(m_db.rowsOf("T1").isEmpty());

    // An empty template skips every file without a message, but names each as passed over.
    RecordingFrontEnd empty;
    const ImportResult none = runImport(create({a, b}, QString()), empty);
    EXPECT_EQ(none.outcome, ImportOutcome::Done);
    EXPECT_TRUE(empty.listed.isEmpty());
    EXPECT_EQ(empty.messages, QStringList{"Done."});
    EXPECT_EQ(none.filesPassedOver, 2);
    EXPECT_TRUE(empty.log.contains("passed over: " + b +
                                   ": the table-name template is empty; no row was sent."));
}

// The closing message comes through closing(), with the outcome and the counts the run
// returns, so that a front end can word the end itself; a run that the field-count report
// ended has none.
TEST_F(ImportRunTest, TheClosingComesWithTheOutcomeAndTheCounts) {
    m_db.execute("CREATE TABLE people(name TEXT, n INTEGER)");
    const QString good = file("good.csv", "name,n\nAnn,1\nBob,2\n");
    const QString bad = file("bad.csv", "name,n\nCid,x\nDan,3\n");
    const QString wide = file("wide.csv", "name,n,city\nEve,4,Rome\n");
    const QString cut = file("cut.csv", "name,n\nFay,5,6\n");
    const struct {
        const char* name;
        ImportChoices choices;
        qint64 stopAfterRows;
        ImportOutcome outcome;
        QString text; // the closing message; empty: none
        int errors, imported;
        qint64 rows;
        int passedOver;
    } cases[] = {
        {"clean", append({good}, "people"), -1, ImportOutcome::Done, "Done.", 0, 1, 2, 0},
        {"a rejected row", append({good, bad}, "people"), -1, ImportOutcome::Done, "Done.", 1, 2, 3,
         0},
        {"a file passed over", append({wide, good}, "people"), -1, ImportOutcome::Done, "Done.", 0,
         1, 2, 1},
        {"a table name listed", create({good, good}, "Same"), -1, ImportOutcome::TablesExisted,
         "Table(s) already exist.", 0, 1, 2, 1},
        {"stopped after the first file", append({good, good}, "people"), 1,
         ImportOutcome::Cancelled, "Import stopped. 1 file(s) and 2 row(s) were imported.", 0, 1, 2,
         0},
        {"ended by the field-count report", append({good, cut}, "people"), -1,
         ImportOutcome::StoppedByFieldCount, "", 0, 1, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingFrontEnd ui;
        ui.stopAfterRows = c.stopAfterRows;
        const ImportResult result = runImport(c.choices, ui);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.errorsReported, c.errors);
        EXPECT_EQ(result.filesImported, c.imported);
        EXPECT_EQ(result.rowsSent, c.rows);
        EXPECT_EQ(result.filesPassedOver, c.passedOver);
        EXPECT_EQ(result.filesListed, c.choices.files.size());
        if (c.text.isEmpty()) {
            EXPECT_TRUE(ui.closings.isEmpty());
            continue;
        }
        EXPECT_EQ(ui.log.last(), "message: " + c.text) << "shown as a message by default";
        ASSERT_EQ(ui.closings.size(), 1);
        const ImportResult& closing = ui.closings[0];
        EXPECT_EQ(closing.outcome, result.outcome);
        EXPECT_EQ(closing.errorsReported, result.errorsReported);
        EXPECT_EQ(closing.filesImported, result.filesImported);
        EXPECT_EQ(closing.rowsSent, result.rowsSent);
        EXPECT_EQ(closing.filesPassedOver, result.filesPassedOver);
        EXPECT_EQ(closing.filesListed, result.filesListed);
    }
}

TEST_F(ImportRunTest, FieldCountMismatchEndsTheRunAfterEarlierFilesAreIn) {
    const QString good = file("good.csv", "Name,City\nAnn,Rome\n");
    const QString quoted = file("quoted.csv", "Name,City\nBob,Oslo\n\"Smith, John\",Paris\n");
    const QString never = file("never.csv", "Name,City\nEve,Lima\n");
    const ImportResult result = runImport(create({good, quoted, never}), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::StoppedByFieldCount);
    EXPECT_EQ(m_ui.log, QStringList{"report: Line no 2: \"Smith, John\",Paris"});
    EXPECT_EQ(m_db.rowsOf("NewTable1"), QStringList{"Ann|Rome"});
    EXPECT_FALSE(tables().contains("NewTable2")) << "nothing of the failing file is sent";
    EXPECT_FALSE(tables().contains("NewTable3"));
    EXPECT_EQ(m_ui.busyChanges.last(), false);
}

TEST_F(ImportRunTest, EncodingIsDecidedPerFile) {
    const QString utf8 = file("u.csv", "\xEF\xBB\xBFName,Word\nJ\xC3\xBCrgen,Gr\xC3\xB6\xC3\x9F"
                                       "e \xE2\x82\xAC\xC3\xA4\n");
    const QString ansi = file("w.csv", "Name,Word\nJ\xFCrgen,Gr\xF6\xDF"
                                       "e \x80\xE4\n");
    ASSERT_EQ(runImport(create({utf8, ansi}), m_ui).outcome, ImportOutcome::Done);
    const QString expected = QString::fromUtf16(u"J\u00FCrgen|Gr\u00F6\u00DFe \u20AC\u00E4");
    EXPECT_EQ(m_db.rowsOf("NewTable1"), QStringList{expected});
    EXPECT_EQ(m_db.rowsOf("NewTable2"), QStringList{expected});
    EXPECT_EQ(m_db.columnsOf("NewTable1"), (QStringList{"Name text", "Word text"}))
        << "the byte-order mark is not part of the first column's name";
}

TEST_F(ImportRunTest, TableNamesWithDoubleQuotesStayNames) {
    m_db.execute("CREATE TABLE victim(a TEXT)");
    const QString a = file("a.csv", "h1,h2\n1,2\n");
    ImportChoices choices = create({a}, QStringLiteral("x\"; DROP TABLE victim; --"));
    ASSERT_EQ(runImport(choices, m_ui).outcome, ImportOutcome::Done);
    EXPECT_EQ(m_ui.errors, QStringList());
    EXPECT_TRUE(tables().contains("victim"));
    EXPECT_EQ(m_db.rowsOf("x\"; DROP TABLE victim; --"), QStringList{"1|2"});

    RecordingFrontEnd ui;
    ASSERT_EQ(runImport(append({a}, QStringLiteral("x\"; DROP TABLE victim; --")), ui).outcome,
              ImportOutcome::Done);
    EXPECT_EQ(ui.errors, QStringList());
    EXPECT_EQ(m_db.rowsOf("x\"; DROP TABLE victim; --").size(), 2);
}

TEST_F(ImportRunTest, AppendChecksEachFilesColumnCount) {
    m_db.execute("CREATE TABLE \"People\"(name TEXT, age INTEGER)");
    const QString one = file("1.csv", "name,age\nAnn,30\n");
    const QString wrong = file("2.csv", "name,age,city\nBob,40,Rome\n");
    const QString three = file("3.csv", "n,a\r\nEve,\r\nAl,7\r\n");
    const ImportResult result = runImport(append({one, wrong, three}, "People"), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    EXPECT_EQ(m_ui.log,
              (QStringList{
                  "message: The columns in the text file and the columns in the table must be "
                  "identical.\r\n\r\n" +
                      wrong + " was split by , and has 3 columns. The table People has 2 columns.",
                  "passed over: " + wrong +
                      ": the file has 3 columns and the table \"People\" has 2; no row was sent.",
                  "message: Done."}));
    EXPECT_EQ(m_db.rowsOf("People"), (QStringList{"Ann|30", "Eve|<NULL>", "Al|7"}));
    EXPECT_EQ(result.rowsSent, 3);
    EXPECT_EQ(result.filesPassedOver, 1);
}

TEST_F(ImportRunTest, AppendToAVanishedTableReportsAndSkips) {
    const QString one = file("1.csv", "a,b\n1,2\n");
    ImportChoices choices = append({one}, "gone");
    choices.existingTables = {"gone"};
    choices.selectedTable = 0;
    EXPECT_EQ(runImport(choices, m_ui).outcome, ImportOutcome::Done);
    ASSERT_EQ(m_ui.errors.size(), 1);
    EXPECT_EQ(m_ui.errors[0], error(302, "ERROR:  relation \"gone\" does not exist\n"
                                         "LINE 1: SELECT * FROM \"gone\" LIMIT 0\n"
                                         "                      ^"));
    EXPECT_TRUE(m_ui.messages[0].endsWith("The table gone has 0 columns."));
}

TEST_F(ImportRunTest, RejectedRowsAreReportedInLineOrderAndTheRestStays) {
    m_db.execute("CREATE TABLE nums(label TEXT, n INTEGER CHECK (n <> 13))");
    QByteArray bytes = "label,n\n";
    QStringList expected; // a text each error holds, in order
    QList<int> lines;     // the line of each error, counted from 1 (the header is line 1)
    for (int i = 1; i <= 3000; ++i) {
        QByteArray n = QByteArray::number(i * 2);
        if (i % 250 == 0) {
            n = "x" + QByteArray::number(i);
            expected.append(
                QStringLiteral("invalid input syntax for type integer: \"x%1\"").arg(i));
            lines.append(i + 1);
        } else if (i % 401 == 0) {
            n = "13";
            expected.append(QStringLiteral("Failing row contains (r%1, 13).").arg(i));
            lines.append(i + 1);
        }
        bytes += "r" + QByteArray::number(i) + "," + n + "\n";
    }
    // A NUL character can't be stored; its line is rejected in its place in the order.
    bytes += "nul,1" + QByteArray(1, '\0') + "2\nlast,3001\n";
    const QString path = file("nums.csv", bytes);
    expected.append(nulCharacterRejection(3001, path));
    lines.append(3002);

    const ImportResult result = runImport(append({path}, "nums"), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    ASSERT_EQ(m_ui.errors.size(), expected.size()) << m_ui.errors.join("\n").toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(m_ui.errors[i].contains(expected[i])) << m_ui.errors[i].toStdString();
        EXPECT_TRUE(m_ui.errors[i].contains(Context + "at line 342"));
        EXPECT_EQ(m_ui.errorPlaces[i], path + ":" + QString::number(lines[i]));
        EXPECT_EQ(m_ui.errors[i], error(342, m_ui.descriptions[i]))
            << "the description comes apart, and the text is composed of it";
    }
    EXPECT_EQ(m_ui.errors.last(), error(342, expected.last()));
    EXPECT_EQ(result.errorsReported, expected.size());
    const qint64 good = 3000 - 12 - 7 + 1;
    EXPECT_EQ(result.rowsSent, good);
    EXPECT_EQ(m_db.column("SELECT count(*) FROM nums"), QStringList{QString::number(good)});
    EXPECT_EQ(m_db.column("SELECT n FROM nums WHERE label = 'last'"), QStringList{"3001"});
    EXPECT_EQ(m_ui.log.last(), "message: Done.");
}

TEST_F(ImportRunTest, UnreadableFilesAndFailedConnectionsAreReportedByStep) {
    // Files that can't be opened: each is named once, by the "Application Error" of step 124
    // as the windows show it, counted as passed over, and the run goes on with the next file.
    const QString missing = m_dir.filePath("missing.csv");
    const QString folder = m_dir.filePath("folder.csv");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.csv"));
    const QString good = file("good.csv", "h1,h2\n1,2\n");
    ImportResult result = runImport(create({missing, folder, good}), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    const QStringList causes{"No such file or directory", "Is a directory"};
    const QStringList paths{missing, folder};
    QStringList log;
    for (int i = 0; i < 2; ++i) {
        log << "error: " + error(124, "Could not open " + paths[i] + ": " + causes[i])
            << "passed over: " + paths[i] + ": could not open the file: " + causes[i] +
                   "; no row was sent.";
    }
    EXPECT_EQ(m_ui.log, log + QStringList{"message: Done."});
    EXPECT_EQ(m_ui.errorPlaces, (QStringList{missing + ":", folder + ":"})) << "no line";
    EXPECT_EQ(result.errorsReported, 0);
    EXPECT_EQ(result.filesPassedOver, 2);
    EXPECT_EQ(result.filesImported, 1);
    EXPECT_EQ(m_ui.listed, QStringList{"NewTable3"});
    EXPECT_EQ(m_db.rowsOf("NewTable3"), QStringList{"1|2"});

    // A connection that can't be opened: the table statement fails, and with no table the
    // file's rows are not sent.
    const QString a = file("a.csv", "h1,h2\n1,2\n3,4\n");
    ImportChoices choices = create({a});
    choices.connection.password = QStringLiteral("wrong password");
    RecordingFrontEnd ui;
    result = runImport(choices, ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_TRUE(ui.errors[0].contains("password authentication failed"));
    EXPECT_TRUE(ui.errors[0].contains(Context + "at line 120"));
    EXPECT_EQ(ui.errors[1], error(190, "The connection is not open."));
    EXPECT_EQ(ui.errorPlaces, (QStringList{a + ":", a + ":"}));
    EXPECT_EQ(ui.messages.first(), a + " was skipped because its table \"NewTable1\" could not "
                                       "be created; no row was sent.");
    EXPECT_EQ(result.errorsReported, 2);
}

TEST_F(ImportRunTest, FirstLinesBeyondTheCheckLimitOverflow) {
    QByteArray wide;
    for (int i = 0; i < 32769; ++i)
        wide += (i ? ",c" : "c") + QByteArray::number(i);
    const QString path = file("wide.csv", wide + "\n");
    const ImportResult result = runImport(create({path}), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::StoppedByFieldCount);
    ASSERT_EQ(m_ui.errors.size(), 1);
    EXPECT_TRUE(m_ui.errors[0].startsWith("Overflow"));
    EXPECT_TRUE(m_ui.errors[0].contains(Context + "at line 138"));
    EXPECT_TRUE(m_ui.messages.isEmpty());
}

TEST_F(ImportRunTest, OneLineFilesCreateEmptyTablesAndCancellingStopsBetweenRows) {
    const QString header = file("h.csv", "only,header");
    EXPECT_EQ(runImport(create({header}), m_ui).outcome, ImportOutcome::Done);
    EXPECT_TRUE(tables().contains("NewTable1"));
    EXPECT_TRUE(m_db.rowsOf("NewTable1").isEmpty());

    QByteArray many = "a,b\n";
    for (int i = 0; i < 20000; ++i)
        many += "x,y\n";
    const QString big = file("big.csv", many);
    RecordingFrontEnd ui;
    ui.stopAfterRows = 1;
    ImportChoices choices = create({big, big}, "C[counter]");
    choices.rowByRow = true; // rows are committed and counted one by one only on this path
    const ImportResult result = runImport(choices, ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Cancelled);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("Import stopped. 0 file(s) and %1 row(s) "
                                                      "were imported.")
                                           .arg(groupedCount(result.rowsSent))});
    EXPECT_LT(result.rowsSent, 20000);
    EXPECT_EQ(m_db.column("SELECT count(*) FROM \"C1\""),
              QStringList{QString::number(result.rowsSent)})
        << "every row reported as sent is in the table";
    EXPECT_FALSE(tables().contains("C2"));
    EXPECT_EQ(ui.busyChanges.last(), false);
}

TEST_F(ImportRunTest, FilesWithoutTheSeparatorAreToldOnceInEveryMode) {
    m_db.execute("CREATE TABLE single(v TEXT)");
    const QString pipes = file("pipes.txt", "k|v\na|b\n\nc|d\n");
    const QString header = file("header.txt", "k|v\n");
    const struct {
        const char* name;
        ImportChoices::TableMode mode;
        ImportChoices::ColumnNames names;
        QString separator;
        QString path;
        bool told; // the message and the passed-over note come, once
    } cases[] = {
        {"create, first line", ImportChoices::TableMode::Create,
         ImportChoices::ColumnNames::FirstLine, ",", pipes, true},
        {"create, typed names", ImportChoices::TableMode::Create, ImportChoices::ColumnNames::Typed,
         ";", pipes, true},
        {"append", ImportChoices::TableMode::Append, ImportChoices::ColumnNames::FirstLine, ",",
         pipes, true},
        {"empty separator", ImportChoices::TableMode::Create, ImportChoices::ColumnNames::FirstLine,
         "", pipes, true},
        {"no data lines", ImportChoices::TableMode::Create, ImportChoices::ColumnNames::FirstLine,
         ",", header, false},
    };
    int tableNumber = 0;
    for (const auto& c : cases) {
        RecordingFrontEnd ui;
        ui.answers = {"only"};
        ImportChoices choices = append({c.path}, "single");
        choices.mode = c.mode;
        choices.names = c.names;
        choices.separator = c.separator;
        choices.tableTemplate = QStringLiteral("one%1").arg(++tableNumber);
        const ImportResult result = runImport(choices, ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Done) << c.name;
        EXPECT_EQ(result.rowsSent, 0) << c.name;
        EXPECT_EQ(result.errorsReported, 0) << c.name << ui.errors.join("\n").toStdString();
        const QString sep = "the separator \"" + c.separator + "\"";
        const QStringList told{
            "message: No rows were sent from " + c.path + ": no line holds " + sep + ".",
            "passed over: " + c.path + ": no line holds " + sep + "; no row was sent."};
        EXPECT_EQ(ui.log, (c.told ? told : QStringList()) + QStringList{"message: Done."})
            << c.name;
        EXPECT_EQ(result.filesPassedOver, c.told ? 1 : 0) << c.name;
    }
    EXPECT_TRUE(m_db.rowsOf("single").isEmpty());
}

// A file without lines, or whose first line is empty, gives no columns: it is passed over with
// a message in every mode, before the field-count check, no question asked and no statement
// sent, and the run goes on.
TEST_F(ImportRunTest, FilesWithoutColumnsArePassedOverInEveryMode) {
    m_db.execute("CREATE TABLE two(a TEXT, b TEXT)");
    const QString empty = QStringLiteral("the file is empty; no row was sent.");
    const QString blank =
        QStringLiteral("the first line is empty, so the file has no columns; no row was sent.");
    const struct {
        const char* name;
        QByteArray bytes;
        QString reason;
    } files[] = {
        {"no bytes", "", empty},
        {"a byte-order mark only", "\xEF\xBB\xBF", empty},
        {"an empty first line before data", "\na,b\n1,2\n", blank},
        {"a first line of carriage returns", "\r\r\na,b\n1,2\n", blank},
        {"a byte-order mark and a line feed", "\xEF\xBB\xBF\n1,2\n", blank},
    };
    const struct {
        const char* name;
        ImportChoices::TableMode mode;
        ImportChoices::ColumnNames names;
        bool quoted;
    } modes[] = {
        {"create, first line", ImportChoices::TableMode::Create,
         ImportChoices::ColumnNames::FirstLine, false},
        {"create, first line, quoted", ImportChoices::TableMode::Create,
         ImportChoices::ColumnNames::FirstLine, true},
        {"create, typed names", ImportChoices::TableMode::Create, ImportChoices::ColumnNames::Typed,
         false},
        {"append", ImportChoices::TableMode::Append, ImportChoices::ColumnNames::FirstLine, false},
    };
    const QString good = file("good.csv", "a,b\n3,4\n");
    int run = 0;
    for (const auto& m : modes) {
        for (const auto& f : files) {
            const QString path = file(QStringLiteral("f%1.csv").arg(++run), f.bytes);
            RecordingFrontEnd ui;
            ui.answers = {"x", "y"};
            ImportChoices choices = append({path, good}, "two");
            choices.mode = m.mode;
            choices.names = m.names;
            choices.quotedFields = m.quoted;
            choices.tableTemplate = QStringLiteral("t%1_[counter]").arg(run);
            const ImportResult result = runImport(choices, ui);
            const std::string name = std::string(m.name) + ", " + f.name;
            EXPECT_EQ(result.outcome, ImportOutcome::Done) << name;
            EXPECT_EQ(ui.log,
                      (QStringList{"message: " + path + " was passed over: " + f.reason,
                                   "passed over: " + path + ": " + f.reason, "message: Done."}))
                << name;
            EXPECT_EQ(result.errorsReported, 0) << name;
            EXPECT_EQ(result.filesPassedOver, 1) << name;
            EXPECT_EQ(result.filesImported, 1) << name;
            EXPECT_EQ(ui.prompts.size(), m.names == ImportChoices::ColumnNames::Typed &&
                                                 m.mode == ImportChoices::TableMode::Create
                                             ? 2
                                             : 0)
                << name << ": only the good file's columns are asked for";
            EXPECT_FALSE(tables().contains(QStringLiteral("t%1_1").arg(run))) << name;
        }
    }
    EXPECT_EQ(m_db.column("SELECT count(*) FROM two"), QStringList{"5"});
}

// A trigger's notices are named with their file, and reach standard error only through the
// front end; one that announces the end of the connection is left out, as the run answers
// that itself.
TEST_F(ImportRunTest, ServerNoticesAreNamedWithTheirFile) {
    m_db.execute("CREATE TABLE t(a text, b text);"
                 "CREATE FUNCTION note() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                 "IF NEW.a = 'quiet' THEN "
                 "RAISE WARNING 'going away' USING ERRCODE = 'admin_shutdown'; "
                 "ELSE RAISE NOTICE 'saw %', NEW.a; END IF; RETURN NEW; END$$;"
                 "CREATE TRIGGER note BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION note()");
    const QString a = file("a.csv", "a,b\nAnn,1\nquiet,2\n");
    const QString b = file("b.csv", "a,b\nBob,3\n");
    StandardErrorCapture err;
    const ImportResult result = runImport(append({a, b}, "t"), m_ui);
    EXPECT_EQ(err.text(), QByteArray());
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    EXPECT_EQ(result.errorsReported, 0);
    EXPECT_EQ(result.rowsSent, 3);
    EXPECT_EQ(m_ui.log, (QStringList{"notice: " + a + ": NOTICE:  saw Ann",
                                     "notice: " + b + ": NOTICE:  saw Bob", "message: Done."}));
}

// The run hands its connection on from file to file; one that was lost between two files is
// replaced, and the run reads exactly as a run without the loss.
TEST_F(ImportRunTest, AConnectionLostBetweenFilesIsReplacedUnseen) {
    // Ends every other session of the test database once the first file's turn is over.
    class EndingFrontEnd : public RecordingFrontEnd {
    public:
        explicit EndingFrontEnd(const TestDatabase& db)
            : m_db(db) {}
        void setBusy(bool busy) override {
            RecordingFrontEnd::setBusy(busy);
            if (!busy && ++m_turns == 1)
                ended = m_db.column(
                    QStringLiteral("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
                                   "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                        .arg(m_db.name()));
        }
        QStringList ended;

    private:
        const TestDatabase& m_db;
        int m_turns = 0;
    };

    m_db.execute("CREATE TABLE t (a text, b text)");
    const QString a = file("a.csv", "h1,h2\n1,2\n3,4\n");
    const QString b = file("b.csv", "h1,h2\n5,6\n");
    const QString c = file("c.csv", "h1,h2\n7,8\n");
    RecordingFrontEnd quiet;
    const ImportResult reference = runImport(append({a, b, c}, "t"), quiet);
    m_db.execute("TRUNCATE t");

    EndingFrontEnd ending(m_db);
    StandardErrorCapture err;
    const ImportResult result = runImport(append({a, b, c}, "t"), ending);
    EXPECT_EQ(err.text(), QByteArray()) << "the ended backend's last words are not printed";
    EXPECT_EQ(ending.ended, QStringList{"t"}) << "the run's own session was ended";
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    EXPECT_EQ(result.rowsSent, 4);
    EXPECT_EQ(result.errorsReported, 0);
    EXPECT_EQ(ending.log, quiet.log);
    EXPECT_EQ(ending.log, QStringList{"message: Done."});
    EXPECT_EQ(m_db.column("SELECT a FROM t ORDER BY a"), (QStringList{"1", "3", "5", "7"}));
    EXPECT_EQ(reference.rowsSent, result.rowsSent);
}
