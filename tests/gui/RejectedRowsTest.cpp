#include "FolderAnswer.h"
#include "MainWindowFixture.h"

#include "widgets/GuiUserInterface.h"
#include "windows/Form2.h"
#include "windows/RunReportWindow.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

// Rejected rows in the main window as a person meets them: one box with "List the rest at the
// end", the closing message, then the report window with every rejected line; saved, fixed and
// loaded again. A table that refuses every row costs one box for its file.

namespace {

// 1,000 data lines after the header "n,v", every tenth with a value too long for varchar(3).
QByteArray tenthTooLong() {
    QByteArray bytes = "n,v\n";
    for (int n = 1; n <= 1000; ++n)
        bytes += QByteArray::number(n) + (n % 10 == 0 ? ",toolong\n" : ",ok\n");
    return bytes;
}

struct RejectedRows : MainWindowFixture {
    GuiUserInterface realBoxes; // rejected rows' boxes as the program shows them
    int boxes = 0;
    QTimer poll;

    void SetUp() override { windows.ui.showRejectedRows = &realBoxes; }

    // Clicks "Save Rejected Lines…" in the report and answers the folder dialog with a folder
    // "saved" of its own; returns what was saved for the file called name.
    QByteArray saveRejected(RunReportWindow* report, const QString& name) {
        const QString out = folder.path() + "/saved";
        EXPECT_TRUE(QDir().mkpath(out));
        FolderAnswer answer(out);
        QTest::mouseClick(report->saveButton(), Qt::LeftButton);
        EXPECT_TRUE(waitUntil([&] { return QFile::exists(out + "/" + name + ".rejected.csv"); }));
        return readTestFile(out + "/" + name + ".rejected");
    }

    // Answers every "Application Error" box of a rejected row by a click on its OK button, or
    // on "List the rest at the end" for the box numbered listAt (from 1).
    void answerBoxes(int listAt) {
        QObject::connect(&poll, &QTimer::timeout, [this, listAt] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            ++boxes;
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Application Error"));
            QAbstractButton* chosen = box->button(QMessageBox::Ok);
            if (boxes == listAt) {
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text() == QStringLiteral("List the rest at the end"))
                        chosen = button;
                }
            }
            QTest::mouseClick(chosen, Qt::LeftButton);
        });
        poll.start(5);
    }

    // The append option and the table, chosen by clicks.
    void chooseTable(const QString& table) {
        clickMark(main->Option2);
        QListWidgetItem* item = main->List1->findItems(table, Qt::MatchExactly).value(0);
        ASSERT_TRUE(item);
        main->List1->scrollToItem(item);
        QTest::mouseClick(main->List1->viewport(), Qt::LeftButton, {},
                          main->List1->visualItemRect(item).center());
        ASSERT_TRUE(item->isSelected());
    }

    QList<RunReportWindow*> reportWindows() const { return main->findChildren<RunReportWindow*>(); }

    // The report window's rows, each as "LINE|TEXT".
    static QStringList rowsOf(RunReportWindow* window) {
        const QAbstractItemModel* model = window->table()->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, 1).data().toString() + "|" +
                        model->index(row, 3).data().toString();
        return rows;
    }
};

} // namespace

TEST_F(RejectedRows, OneBoxThenTheReportThenTheSavedLinesLoadAgain) {
    database.execute("CREATE TABLE short(n text, v varchar(3))");
    start();
    addFile("tenth.csv", tenthTooLong());
    chooseTable("short");
    answerBoxes(1);
    import();
    poll.stop();

    EXPECT_EQ(boxes, 1) << "one box, then the rest listed";
    EXPECT_EQ(windows.ui.errors.size(), 1);
    EXPECT_EQ(windows.ui.messages, QStringList{"Done."}) << "the closing message as before";
    EXPECT_EQ(database.count("short"), 900);
    const QList<RunReportWindow*> shown = reportWindows();
    ASSERT_EQ(shown.size(), 1);
    RunReportWindow* report = shown.first();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
    QStringList expected;
    for (int n = 10; n <= 1000; n += 10)
        expected << QString::number(n + 1) + "|" + QString::number(n) + ",toolong";
    EXPECT_EQ(rowsOf(report), expected);

    // "Save Rejected Lines…", the folder chosen in the dialog.
    QByteArray bytes = saveRejected(report, "tenth.csv");
    QByteArray wanted = "n,v\n";
    for (int n = 10; n <= 1000; n += 10)
        wanted += QByteArray::number(n) + ",toolong\n";
    EXPECT_EQ(bytes, wanted);

    // Fixed, the saved file takes the first one's place in the list and goes in whole.
    QTest::mouseClick(main->ListView1->viewport(), Qt::LeftButton, {},
                      main->ListView1->visualRect(main->ListView1->model()->index(0, 0)).center());
    QTest::keyClick(main->ListView1, Qt::Key_Delete);
    bytes.replace("toolong", "ok");
    addFile("fixed.csv", bytes);
    const qsizetype messages = windows.ui.messages.size();
    import();
    EXPECT_EQ(windows.ui.messages.mid(messages), QStringList{"Done."});
    EXPECT_EQ(windows.ui.errors.size(), 1) << "no rejection";
    EXPECT_EQ(database.count("short"), 1000);
    EXPECT_EQ(reportWindows().size(), 1) << "nothing to report, no new window";
}

// OK keeps a box for every rejected row, and the report lists them all the same.
TEST_F(RejectedRows, OkKeepsOneBoxPerRow) {
    database.execute("CREATE TABLE short(n text, v varchar(3))");
    start();
    addFile("tenth.csv", tenthTooLong());
    chooseTable("short");
    answerBoxes(0);
    import();
    poll.stop();
    EXPECT_EQ(boxes, 100);
    EXPECT_EQ(windows.ui.errors.size(), 100);
    ASSERT_EQ(reportWindows().size(), 1);
    EXPECT_EQ(rowsOf(reportWindows().first()).size(), 100);
}

// A read-only database refuses each file: one box per file, none per row; the report names each
// file's lines not sent.
TEST_F(RejectedRows, ARefusingDatabaseCostsOneBoxPerFile) {
    database.execute("CREATE TABLE t(n text, t text)");
    database.execute(QStringLiteral("ALTER DATABASE \"%1\" SET default_transaction_read_only = on")
                         .arg(database.name()));
    start();
    addFile("a.csv", numberedLines(3000));
    addFile("b.csv", numberedLines(20));
    chooseTable("t");
    answerBoxes(0);
    import();
    poll.stop();
    database.execute(QStringLiteral("BEGIN READ WRITE; ALTER DATABASE \"%1\" RESET "
                                    "default_transaction_read_only; COMMIT")
                         .arg(database.name()));
    ASSERT_EQ(windows.ui.errors.size(), 2) << windows.ui.errors.join("\n").toStdString();
    EXPECT_TRUE(windows.ui.errors[0].contains("3000 line(s) of "));
    EXPECT_TRUE(windows.ui.errors[1].contains("20 line(s) of "));
    EXPECT_EQ(boxes, 0) << "no box of a rejected row";
    ASSERT_EQ(reportWindows().size(), 1);
    EXPECT_EQ(rowsOf(reportWindows().first()), QStringList({"2|", "2|"}));
}

// A table made by the run whose owner lost INSERT on it as it was made: one box for that file,
// and the next file's table takes its rows.
TEST_F(RejectedRows, ATableWithoutInsertPrivilegeCostsOneBoxAndTheNextFileGoesIn) {
    const TestServer& server = TestServer::get();
    database.execute(QStringLiteral("GRANT CREATE ON SCHEMA public TO %1").arg(server.role));
    database.execute(QStringLiteral(
        "CREATE FUNCTION revoke_t1() RETURNS event_trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF EXISTS (SELECT 1 FROM pg_event_trigger_ddl_commands() WHERE object_identity = "
        "'public.t1') THEN REVOKE INSERT ON public.t1 FROM CURRENT_USER; END IF; END $$"));
    database.execute(QStringLiteral("CREATE EVENT TRIGGER revoke_t1 ON ddl_command_end WHEN TAG "
                                    "IN ('CREATE TABLE') EXECUTE FUNCTION revoke_t1()"));
    ConnectionSettings asRole = database.settings();
    asRole.user = server.role;
    asRole.password = server.rolePassword;
    windows.startWith(asRole);
    main = &windows.form1.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    typeInto(main->Text2, "t[counter]");
    addFile("a.csv", numberedLines(500));
    addFile("b.csv", numberedLines(300));
    answerBoxes(0);
    import();
    poll.stop();
    ASSERT_EQ(windows.ui.errors.size(), 1) << windows.ui.errors.join("\n").toStdString();
    EXPECT_TRUE(windows.ui.errors[0].contains("500 line(s) of "));
    EXPECT_TRUE(windows.ui.errors[0].contains("permission denied for table t1"));
    EXPECT_EQ(database.count("t1"), 0);
    EXPECT_EQ(database.count("t2"), 300);
    ASSERT_EQ(reportWindows().size(), 1);
    EXPECT_EQ(rowsOf(reportWindows().first()), QStringList({"2|"}));
}

// A Windows-1252 file read with CSV quotes, whose rejected record spans two lines: the saved
// file holds the header and that record in the file's own bytes and line ends.
TEST_F(RejectedRows, TheSavedLinesAreTheFilesOwnBytes) {
    database.execute("CREATE TABLE short(n text, v varchar(3))");
    start();
    clickMark(main->Check3);
    ASSERT_TRUE(main->Check3->isChecked());
    addFile("cafe.csv", "n,v\r\n1,caf\r\n\"2\xe9\",\"two\r\nlines\"\r\n3,ok\r\n");
    chooseTable("short");
    answerBoxes(1);
    import();
    poll.stop();
    ASSERT_EQ(reportWindows().size(), 1);
    RunReportWindow* report = reportWindows().first();
    EXPECT_EQ(rowsOf(report), QStringList{"3|\"2\u00e9\",\"two^Jlines\""});
    EXPECT_EQ(saveRejected(report, "cafe.csv"),
              QByteArray("n,v\r\n\"2\xe9\",\"two\r\nlines\"\r\n"));
    EXPECT_EQ(database.count("short"), 2);
}
