// Whole import runs over the ways a file is read: quoted fields, a pipe awaiting its writer,
// files that change while read, and text in more than one encoding or with CR line ends.
#include "support/ImportFixture.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sys/stat.h>

namespace {

// Answers the column-name questions, which come after the field-count check and before the
// first row, and runs a piece of work when the first is asked.
class HookFrontEnd : public RecordingFrontEnd {
public:
    QString inputText(const QString& prompt, const QString& defaultAnswer) override {
        if (hook) {
            hook();
            hook = {};
        }
        return RecordingFrontEnd::inputText(prompt, defaultAnswer);
    }
    bool cancelRequested() override { return cancelAfter >= 0 && ++cancelCalls > cancelAfter; }

    std::function<void()> hook;
    int cancelAfter = -1; // answers yes from this many questions on
    std::atomic<int> cancelCalls{0};
};

class ImportRunReadingTest : public ImportFixture {};

} // namespace

TEST_F(ImportRunReadingTest, QuotedFieldsImportAsASpreadsheetWroteThem) {
    const QString path = file("sheet.csv", "\"First Name\",\"E-mail, work\",Note\r\n"
                                           "\"Smith, John\",j@x.org,\"Bolt \"\"M8\"\"\"\r\n"
                                           "Ann,a@x.org,\"Main Street 1\r\n"
                                           "Springfield\"\r\n"
                                           ",\"\",\r\n"
                                           "5\" pipe,\"\"\"\",x\r\n");
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        dropAll();
        ImportChoices choices = create({path}, "T[counter]");
        choices.quotedFields = true;
        choices.rowByRow = rowByRow;
        RecordingFrontEnd ui;
        const ImportResult result = runImport(choices, ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Done);
        EXPECT_EQ(ui.log, QStringList{"message: Done."});
        EXPECT_EQ(m_db.columnsOf("T1"),
                  (QStringList{"FirstName text", "Emailwork text", "Note text"}))
            << "header fields are unquoted before the name rule";
        EXPECT_EQ(m_db.rowsOf("T1"), (QStringList{"Smith, John|j@x.org|Bolt \"M8\"",
                                                  "Ann|a@x.org|Main Street 1\r\nSpringfield",
                                                  "||<NULL>", "5\" pipe|\"|x"}));
    }
}

TEST_F(ImportRunReadingTest, MalformedQuotedFilesEndTheRunAtTheOffendingRecord) {
    const QString good = file("good.csv", "a,b\n1,\"2\"\n");
    QByteArray big = "n,t\n";
    for (int i = 1; i <= 200000; ++i)
        big += QByteArray::number(i) + ",\"row, text\"\n";
    const QString open = file("open.csv", big + "200001,\"never closed\n" + big);
    const QString after = file("after.csv", "a,b\n1,2\n\"3\"x,4\n");
    const struct {
        const char* name;
        QString path;
        QString report;
    } cases[] = {
        // The quote runs on to the next quote in the file, which text follows.
        {"a quote left open near the end of a big file", open,
         "Line no 200001: 200001,\"never closed\nA closing quote in line 200003 is followed by "
         "text instead of the separator or the line's end."},
        {"text after a closing quote", after,
         "Line no 2: \"3\"x,4\nA closing quote in line 2 is followed by text instead of the "
         "separator or the line's end."},
    };
    for (const auto& c : cases) {
        dropAll();
        ImportChoices choices = create({good, c.path, good}, "T[counter]");
        choices.quotedFields = true;
        RecordingFrontEnd ui;
        const ImportResult result = runImport(choices, ui);
        EXPECT_EQ(result.outcome, ImportOutcome::StoppedByFieldCount) << c.name;
        EXPECT_EQ(ui.log, QStringList{"report: " + c.report}) << c.name;
        EXPECT_EQ(m_db.rowsOf("T1"), QStringList{"1|2"}) << c.name;
        EXPECT_FALSE(tables().contains("T2")) << c.name << ": nothing of the failing file is sent";
    }
}

TEST_F(ImportRunReadingTest, LinesSentAreTheLinesChecked) {
    const QString path = file("grow.csv", "a,b\n1,2\n3,4\n");
    ImportChoices choices = create({path}, "T[counter]");
    choices.names = ImportChoices::ColumnNames::Typed;
    {
        HookFrontEnd ui;
        ui.answers = {"x", "y"};
        ui.hook = [&] {
            QFile more(path);
            ASSERT_TRUE(more.open(QIODevice::Append));
            more.write("5,6\n");
        };
        EXPECT_EQ(runImport(choices, ui).outcome, ImportOutcome::Done);
        EXPECT_EQ(m_db.rowsOf("T1"), (QStringList{"1|2", "3|4"})) << "lines written later wait";
        EXPECT_TRUE(ui.errors.isEmpty());
    }
    // Cut short after the check (the file now has 4 lines, 5,6 included): the missing lines
    // are reported, not passed over in silence.
    HookFrontEnd ui;
    ui.answers = {"x", "y"};
    choices.tableTemplate = QStringLiteral("Cut");
    ui.hook = [&] { ASSERT_TRUE(QFile::resize(path, 6)); };
    EXPECT_EQ(runImport(choices, ui).outcome, ImportOutcome::Done);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Could not read " + path +
                                        ": the file became shorter while it was imported. The "
                                        "last line loaded is line 1; 3 line(s) after it were not "
                                        "read.\r\n"))
        << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.errors[0].contains("at line 264"));
}

TEST_F(ImportRunReadingTest, EachFileIsReadInItsOwnEncodingAndLineEnd) {
    const QString mixed = file("mixed.csv", "Name,Word\nJ\xC3\xBCrgen,Gr\xC3\xB6\xC3\x9F"
                                            "e\nStra\xDF"
                                            "e,5 \x80\n");
    const QString mac = file("mac.csv", "Name,Word\rAnn,one\rBob,two\r");

    ImportChoices choices = create({mixed, mixed, mac}, "T[counter]");
    RecordingFrontEnd ui;
    ASSERT_EQ(runImport(choices, ui).outcome, ImportOutcome::Done);
    const QString note = mixed + " holds UTF-8 text, but 1 line(s) of it are not valid UTF-8 and "
                                 "were read as Windows-1252: Line no 2.";
    EXPECT_EQ(ui.log, (QStringList{"message: " + note, "message: " + note, "message: Done."}))
        << "told once per file, before its rows";
    const QStringList words{QString::fromUtf16(u"J\u00FCrgen|Gr\u00F6\u00DFe"),
                            QString::fromUtf16(u"Stra\u00DFe|5 \u20AC")};
    EXPECT_EQ(m_db.rowsOf("T1"), words);
    EXPECT_EQ(m_db.rowsOf("T2"), words);
    EXPECT_EQ(m_db.rowsOf("T3"), (QStringList{"Ann|one", "Bob|two"}));
}

// Nobody writes to the pipe: the run waits until the user stops it, and nothing of the file
// is made.
TEST_F(ImportRunReadingTest, APipeAwaitingItsWriterCanBeGivenUp) {
    const QString fifo = m_dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    HookFrontEnd waiting;
    waiting.cancelAfter = 5;
    const ImportResult stopped = runImport(create({fifo}, "T[counter]"), waiting);
    EXPECT_EQ(stopped.outcome, ImportOutcome::Cancelled);
    EXPECT_EQ(waiting.log,
              QStringList{"message: Import stopped. 0 file(s) and 0 row(s) were imported."});
    EXPECT_EQ(waiting.busyChanges, (QList<bool>{true, false}));
    EXPECT_FALSE(tables().contains("T1"));
}

// The windows' run: a gzip file goes in as its content; a bzip2 file (blocks of 900 kB) cut in
// half is told once,
// by the "Application Error" of the check's step at the first line that could not be read, and
// its whole lines before it go in; it counts as passed over, not as imported.
TEST_F(ImportRunReadingTest, CompressedFilesGoInAsTheirContentAndABreakIsToldAtItsLine) {
    QByteArray bytes = "n,t\n";
    for (int n = 1; n <= 400000; ++n)
        bytes += QByteArray::number(n) + ",x" + QByteArray::number(n) + "\n";
    const QString plain = file("p.csv", bytes);
    QProcess compress;
    compress.start("sh", {"-c", "gzip -k \"$0\" && bzip2 -k \"$0\"", plain});
    ASSERT_TRUE(compress.waitForFinished());
    ASSERT_EQ(compress.exitCode(), 0);
    QFile packed(plain + ".bz2");
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    const QByteArray whole = packed.readAll();
    const QString cut = file("cut.csv", whole.left(whole.size() / 2));

    const ImportResult result = runImport(create({plain + ".gz", cut}, "T[counter]"), m_ui);
    EXPECT_EQ(result.outcome, ImportOutcome::Done);
    EXPECT_EQ(result.filesImported, 1);
    EXPECT_EQ(result.filesPassedOver, 1);
    EXPECT_EQ(m_db.column("SELECT count(*) FROM \"T1\" WHERE t = 'x' || n"), QStringList{"400000"});
    ASSERT_EQ(m_ui.errorPlaces.size(), 1) << m_ui.log.join('\n').toStdString();
    const qint64 firstLost = m_ui.errorPlaces[0].section(':', -1).toLongLong();
    EXPECT_EQ(m_ui.errorPlaces[0], cut + ":" + QString::number(firstLost));
    EXPECT_GT(firstLost, 1000);
    EXPECT_EQ(m_ui.descriptions[0].left(m_ui.descriptions[0].indexOf('(')),
              "The compressed content of " + cut + " breaks off after line " +
                  QString::number(firstLost - 1) + " ");
    EXPECT_TRUE(m_ui.errors[0].startsWith(m_ui.descriptions[0])) << m_ui.errors[0].toStdString();
    EXPECT_EQ(m_db.rows("SELECT count(*), max(n::int) FROM \"T2\" WHERE t = 'x' || n"),
              QStringList{QStringLiteral("%1|%1").arg(firstLost - 2)});
    EXPECT_EQ(m_ui.log.last(), "message: Done.");
}
