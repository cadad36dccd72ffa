#include "database/Connection.h"
#include "import/TableNames.h"
#include "sending/Statements.h"
#include "support/ImportFixture.h"
#include "textfile/FieldSplitting.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class ImportRunTableCreationTest : public ImportFixture {};

} // namespace

TEST_F(ImportRunTableCreationTest, LongTemplatesAreCheckedAsStored) {
    const QString letters(63, QLatin1Char('L'));
    m_db.execute(QStringLiteral("CREATE TABLE ") + quoteIdentifier(letters) +
                 QStringLiteral("(a TEXT, b TEXT)"));
    m_db.execute(QStringLiteral("CREATE TABLE ") + quoteIdentifier(letters.left(62) + "1") +
                 QStringLiteral("(a TEXT, b TEXT)"));
    const QString a = file("a.csv", "h1,h2\n1,2\n");

    // The start check: the template names the existing table once cut.
    RecordingFrontEnd start;
    EXPECT_EQ(runImport(create({a}, letters + QStringLiteral("xyz")), start).outcome,
              ImportOutcome::StartCheckFailed);
    EXPECT_EQ(start.log, QStringList{"message: Table name already exists."});

    // The file's check: file 1's name, cut, is listed; file 2's is new and is listed as the
    // server stores it.
    RecordingFrontEnd perFile;
    const ImportResult result =
        runImport(create({a, a}, letters.left(62) + QStringLiteral("[counter]xyz")), perFile);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    EXPECT_EQ(result.filesPassedOver, 1);
    EXPECT_TRUE(perFile.log.first().startsWith("passed over: " + a + ": the table name"));
    EXPECT_EQ(perFile.listed, QStringList{letters.left(62) + "2"});
    EXPECT_TRUE(m_db.rowsOf(letters.left(62) + "1").isEmpty());
    EXPECT_EQ(m_db.rowsOf(letters.left(62) + "2"), QStringList{"1|2"});
    EXPECT_TRUE(m_db.rowsOf(letters).isEmpty());
}

// Tables that exist on the server but not in the run's list: the file's CREATE TABLE is
// rejected, and none of its rows may end up in the table or view that was already there.
TEST_F(ImportRunTableCreationTest, ARejectedCreateTableSendsNoRow) {
    const QString letters(63, QLatin1Char('L'));
    const QString a = file("a.csv", "h1,h2\nnew,1\nnew,2\n");
    const QString b = file("b.csv", "h1,h2\nsecond,3\n");
    const QString twice = file("twice.csv", "h,h\nnew,4\n");
    const struct {
        const char* name;
        QString setup; // made after the run read the list of tables
        QString nameTemplate;
        QStringList files;
        ImportChoices::ColumnNames names;
        int step;
        QString rejection; // part of the server's text
        QString skippedTable;
        QString untouched; // a table that keeps its one row "old|0"
        QStringList listed;
    } cases[] = {
        {"a 63-letter table and a longer template",
         "CREATE TABLE " + quoteIdentifier(letters) +
             "(a TEXT, b TEXT);"
             "INSERT INTO " +
             quoteIdentifier(letters) + " VALUES('old', '0')",
         letters + "xyz",
         {a},
         ImportChoices::ColumnNames::FirstLine,
         190,
         "already exists",
         letters + "xyz",
         letters,
         {}},
        {"a view with the first file's name",
         "CREATE TABLE base(a TEXT, b TEXT); INSERT INTO base VALUES('old', '0');"
         "CREATE VIEW imp1 AS SELECT * FROM base",
         "imp[counter]",
         {a, b},
         ImportChoices::ColumnNames::FirstLine,
         190,
         "already exists",
         "imp1",
         "base",
         {"imp2"}},
        {"another run created the table meanwhile, typed names",
         "CREATE TABLE shared(a TEXT, b TEXT); INSERT INTO shared VALUES('old', '0')",
         "shared",
         {a},
         ImportChoices::ColumnNames::Typed,
         256,
         "already exists",
         "shared",
         "shared",
         {}},
        {"typed names given twice",
         "CREATE TABLE keep(a TEXT, b TEXT);"
         "INSERT INTO keep VALUES('old', '0')",
         "dup",
         {twice},
         ImportChoices::ColumnNames::Typed,
         256,
         "specified more than once",
         "dup",
         "keep",
         {}},
    };
    for (const auto& c : cases) {
        dropAll();
        ImportChoices choices = create(c.files, c.nameTemplate);
        choices.names = c.names;
        m_db.execute(c.setup);
        RecordingFrontEnd ui;
        ui.answers = c.files == QStringList{twice} ? QStringList{"x", "x"} : QStringList{"x", "y"};
        const ImportResult result = runImport(choices, ui);

        EXPECT_EQ(result.outcome, ImportOutcome::Done) << c.name;
        ASSERT_EQ(ui.errors.size(), 1) << c.name << ui.errors.join("\n").toStdString();
        EXPECT_TRUE(ui.errors[0].contains(c.rejection)) << c.name << ui.errors[0].toStdString();
        EXPECT_TRUE(ui.errors[0].contains(Context + "at line " + QString::number(c.step)))
            << c.name;
        EXPECT_EQ(ui.messages,
                  (QStringList{c.files[0] + " was skipped because its table \"" + c.skippedTable +
                                   "\" could not be created; no row was sent.",
                               "Done."}))
            << c.name;
        EXPECT_EQ(m_db.rowsOf(c.untouched), QStringList{"old|0"}) << c.name;
        EXPECT_EQ(ui.listed, c.listed) << c.name;
        for (const QString& created : c.listed)
            EXPECT_EQ(m_db.rowsOf(created), QStringList{"second|3"}) << c.name;
        EXPECT_EQ(result.errorsReported, 1) << c.name;
        EXPECT_EQ(result.filesPassedOver, 0) << c.name << ": the rejection is the error";
        EXPECT_EQ(result.filesImported, c.files.size() - 1) << c.name;
    }
}

// The first line's names are cut to what the server keeps before the CREATE TABLE is built:
// the table comes out with the very columns that the whole names give, and names the server
// would refuse (one empty, two alike once cut) pass the file over before any CREATE TABLE.
TEST_F(ImportRunTableCreationTest, LongHeaderNamesComeOutAsTheWholeNamesWould) {
    const QByteArray letters63(63, 'E');
    const struct {
        const char* name;
        QByteArray header;
    } cases[] = {
        {"past 63 letters", "id," + QByteArray(70, 'A') + ",x"},
        {"63 and 64 letters", QByteArray(63, 'c') + "," + QByteArray(64, 'd')},
        {"100,000 letters and digits", "id," + QByteArray(50000, 'b') + QByteArray(50000, '7')},
        {"the 63 counted among letters only, signs and non-ASCII dropped",
         "id," + QStringLiteral("Größe-Maß 9 ").repeated(20).toUtf8()},
        {"two names alike in their first 63 letters", "id," + letters63 + "1,x," + letters63 + "2"},
        {"a long field without a letter", "id," + QByteArray(5000, '!')},
    };
    for (const auto& c : cases) {
        dropAll();
        const QStringList fields = SplitFields(QString::fromUtf8(c.header), QStringLiteral(","));
        QStringList whole;
        for (const QString& field : fields) {
            if (!field.isEmpty())
                whole.append(LettersAndDigitsOnly(field));
        }
        // The whole names go to the server first, under the same table name, so that even the
        // excerpt of the statement in a rejection is the one the run's statement gives.
        QString rejection;
        try {
            Connection::open(m_db.settings())
                .execute(BuildCreateTableStatement(QStringLiteral("cut"), whole));
        } catch (const DatabaseError& error) {
            rejection = QString::fromUtf8(error.what());
        }
        const QStringList wholeColumns = m_db.columnsOf(QStringLiteral("cut"));
        m_db.execute(QStringLiteral("DROP TABLE IF EXISTS cut"));

        const QString path = file(
            "long.csv", c.header + "\n" + QList<QByteArray>(fields.size(), "1").join(',') + "\n");
        RecordingFrontEnd ui;
        const ImportResult result = runImport(create({path}, QStringLiteral("cut")), ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Done) << c.name;
        if (rejection.isEmpty()) {
            EXPECT_TRUE(ui.errors.isEmpty()) << c.name << ui.errors.join("\n").toStdString();
            EXPECT_EQ(m_db.columnsOf(QStringLiteral("cut")), wholeColumns) << c.name;
            EXPECT_EQ(m_db.rowsOf(QStringLiteral("cut")).size(), 1) << c.name;
        } else {
            EXPECT_TRUE(ui.errors.isEmpty()) << c.name << ui.errors.join("\n").toStdString();
            EXPECT_EQ(result.filesPassedOver, 1) << c.name << ": " << rejection.toStdString();
            EXPECT_TRUE(m_db.columnsOf(QStringLiteral("cut")).isEmpty()) << c.name;
            EXPECT_TRUE(ui.listed.isEmpty()) << c.name;
        }
    }
}

// A first line that can't name a table's columns passes the file over with one message, before
// any CREATE TABLE: no table with fewer columns than the file is left behind, and no line is
// sent to be refused. The typed names need no such first line.
TEST_F(ImportRunTableCreationTest, HeadersThatCanNotNameATableArePassedOverBeforeCreateTable) {
    const QString tail = QStringLiteral("; no table was created and no row was sent.");
    const QString rule = QStringLiteral(" (a name is made of a field's ASCII letters and digits)");
    const struct {
        const char* name;
        QByteArray bytes;
        bool quoted;
        QString problem;
    } cases[] = {
        {"an empty field", "a,,c\n1,2,3\n", false,
         "in the first line, field 2 gives no column name" + rule},
        {"a trailing separator", "a,b,\n1,2,\n", false,
         "in the first line, field 3 gives no column name" + rule},
        {"a quoted empty field", "\"\",b\n1,2\n", true,
         "in the first line, field 1 gives no column name" + rule},
        {"a sign for a name", "id,#\n1,2\n", false,
         "in the first line, field 2 gives no column name" + rule},
        {"names alike", "a b,ab\n1,2\n", false,
         "in the first line, fields 1 and 2 give the same column name \"ab\""},
        {"names alike, quoted", "\"a,b\",ab\n1,2\n", true,
         "in the first line, fields 1 and 2 give the same column name \"ab\""},
    };
    const QString good = file("good.csv", "a,b\n3,4\n");
    for (const auto& c : cases) {
        dropAll();
        const QString path = file("head.csv", c.bytes);
        ImportChoices choices = create({path, good}, QStringLiteral("t[counter]"));
        choices.quotedFields = c.quoted;
        RecordingFrontEnd ui;
        const ImportResult result = runImport(choices, ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Done) << c.name;
        EXPECT_EQ(ui.log,
                  (QStringList{"message: " + path + " was passed over: " + c.problem + tail,
                               "passed over: " + path + ": " + c.problem + tail, "message: Done."}))
            << c.name;
        EXPECT_EQ(result.errorsReported, 0) << c.name;
        EXPECT_EQ(result.filesPassedOver, 1) << c.name;
        EXPECT_EQ(tables().filter(QRegularExpression("^t\\d$")), QStringList{"t2"}) << c.name;
        EXPECT_EQ(m_db.rowsOf("t2"), QStringList{"3|4"}) << c.name;

        // Typed names: the first line only counts the columns.
        if (c.quoted)
            continue;
        ImportChoices typed = create({path}, QStringLiteral("typed"));
        typed.names = ImportChoices::ColumnNames::Typed;
        RecordingFrontEnd asked;
        asked.answers = {"x", "y", "z"};
        EXPECT_EQ(runImport(typed, asked).outcome, ImportOutcome::Done) << c.name;
        EXPECT_EQ(asked.log, QStringList{"message: Done."}) << c.name;
        EXPECT_EQ(m_db.columnsOf("typed"),
                  QStringList({"x text", "y text", "z text"}).mid(0, asked.prompts.size()))
            << c.name;
        EXPECT_EQ(m_db.rowsOf("typed").size(), 1) << c.name;
    }
}
