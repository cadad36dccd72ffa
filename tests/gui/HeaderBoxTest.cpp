#include "MainWindowFixture.h"

#include "import/ImportFrontEnd.h"
#include "windows/Form2.h"
#include "windows/RunReportWindow.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSemaphore>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

// "Ignore first line in file because it is a header row with no data", in the append options:
// ticked (the default) each file's first line is left out; unticked it is a row like the
// others. The choice is kept in the settings store.

namespace {

using HeaderBox = MainWindowFixture;

} // namespace

// Ticked while the store holds nothing, enabled with the append option only, written at each
// click, and found again by the windows of the next start.
TEST_F(HeaderBox, StartsTickedAndKeepsItsStateAcrossARestart) {
    start();
    EXPECT_TRUE(main->Check2->isChecked()) << "ticked while the store holds nothing";
    clickMark(main->Check2);
    EXPECT_TRUE(main->Check2->isChecked()) << "disabled with the create option";
    clickMark(main->Option2, true);
    clickMark(main->Check2);
    EXPECT_FALSE(main->Check2->isChecked());
    EXPECT_EQ(ReadSetting(SettingKeys::IgnoreFirstLine), QStringLiteral("0"));

    windows.endProgram();
    Form1 again(windows.context);
    again.start();
    Form2& restarted = again.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&restarted));
    EXPECT_FALSE(restarted.Check2->isChecked()) << "the stored state";
    EXPECT_FALSE(restarted.Check2->isEnabled());
    clickMark(restarted.Option2, true);
    clickMark(restarted.Check2, true);
    EXPECT_TRUE(restarted.Check2->isChecked()) << "the caption takes the click too";
    EXPECT_EQ(ReadSetting(SettingKeys::IgnoreFirstLine), QStringLiteral("1"));
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

// A headerless file: ticked, its first line is left out as before; unticked, every row goes
// in, and a rejected first line is reported as line 1.
TEST_F(HeaderBox, UntickedAHeaderlessFileKeepsEveryRow) {
    database.execute(
        "CREATE TABLE people(name TEXT, state TEXT CONSTRAINT no_xx CHECK (state <> 'XX'))");
    start();
    chooseTable("people");
    addFile("people.txt", "Peter,NH\nJane,MA\n");
    import();
    EXPECT_EQ(database.rows("SELECT * FROM people ORDER BY 1"), QStringList{"Jane|MA"});

    clickMark(main->Check2);
    ASSERT_FALSE(main->Check2->isChecked());
    database.execute("TRUNCATE people");
    import();
    EXPECT_EQ(database.rows("SELECT * FROM people ORDER BY 1"),
              (QStringList{"Jane|MA", "Peter|NH"}));
    EXPECT_EQ(windows.ui.messages, (QStringList{"Done.", "Done."}));
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join("\n").toStdString();

    database.execute("TRUNCATE people");
    addFile("bad.txt", "Bad,XX\nAnn,VT\n");
    import();
    EXPECT_EQ(database.rows("SELECT * FROM people ORDER BY 1"),
              (QStringList{"Ann|VT", "Jane|MA", "Peter|NH"}));
    ASSERT_EQ(windows.ui.errors.size(), 1);
    EXPECT_TRUE(windows.ui.errors.first().contains("no_xx"));
    const QList<RunReportWindow*> reports = main->findChildren<RunReportWindow*>();
    ASSERT_EQ(reports.size(), 1);
    const QAbstractItemModel* rows = reports.first()->table()->model();
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(rows->index(0, 1).data().toString(), QStringLiteral("1")) << "as an editor counts";
    EXPECT_EQ(rows->index(0, 3).data().toString(), QStringLiteral("Bad,XX"));
}

// Locked while a run lasts; the run gets the state the box had when it started.
TEST_F(HeaderBox, IsLockedDuringARunWhichGetsItsState) {
    database.execute("CREATE TABLE t(a TEXT, b TEXT)");
    start();
    chooseTable("t");
    main->addFileEntry(QStringLiteral("/data/a.csv"));
    clickMark(main->Check2);
    QSemaphore goOn;
    std::atomic<bool> started{false};
    bool header = true;
    main->setImportEngine([&](const ImportChoices& choices, ImportFrontEnd&) {
        header = choices.firstLineIsHeader;
        started = true;
        goOn.acquire();
        return ImportResult{ImportOutcome::Done, 0, 1, 0};
    });
    clickImport();
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    EXPECT_FALSE(main->Check2->isEnabled());
    clickMark(main->Check2);
    EXPECT_FALSE(main->Check2->isChecked());
    goOn.release();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_FALSE(header);
    EXPECT_TRUE(main->Check2->isEnabled()) << "back with the append option";
    EXPECT_EQ(ReadSetting(SettingKeys::IgnoreFirstLine), QStringLiteral("0"));
}
