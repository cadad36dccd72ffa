#include "MainWindowFixture.h"

#include "import/ImportFrontEnd.h"
#include "shell/Settings.h"
#include "windows/Form2.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSemaphore>
#include <QTest>
#include <gtest/gtest.h>

// "Match columns by header names" and "Record the file name in column:", below the table list:
// enabled with the append option only, kept in the settings store, and handed to the run only
// in append mode.

namespace {

using AppendOptions = MainWindowFixture;

} // namespace

TEST_F(AppendOptions, EnabledWithAppendOnlyAndKeptAcrossARestart) {
    startActive();
    EXPECT_FALSE(main->Check4->isChecked());
    EXPECT_TRUE(main->Text4->text().isEmpty());
    clickMark(main->Check4);
    typeInto(main->Text4, "src");
    EXPECT_FALSE(main->Check4->isChecked()) << "disabled with the create option";
    EXPECT_TRUE(main->Text4->text().isEmpty());

    clickMark(main->Option2, true);
    clickMark(main->Check4, true);
    typeInto(main->Text4, "src");
    EXPECT_TRUE(main->Check4->isChecked());
    EXPECT_EQ(ReadSetting(SettingKeys::MatchNames), QStringLiteral("1"));
    EXPECT_EQ(ReadSetting(SettingKeys::FileColumn), QStringLiteral("src"));
    clickMark(main->Option1, true);
    EXPECT_FALSE(main->Check4->isEnabled());
    EXPECT_FALSE(main->Text4->isEnabled());

    windows.endProgram();
    Form1 again(windows.context);
    again.start();
    Form2& restarted = again.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&restarted));
    EXPECT_TRUE(restarted.Check4->isChecked()) << "the stored state";
    EXPECT_EQ(restarted.Text4->text(), QStringLiteral("src"));
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

// Ticked and filled, a file whose header names the columns in another order lands where the
// names say, each row with its file's path.
TEST_F(AppendOptions, RowsLandByNameWithTheirFilesPath) {
    database.execute("CREATE TABLE t(id int, v text, src text)");
    startActive();
    chooseTable("t");
    clickMark(main->Check4, true);
    typeInto(main->Text4, " src ");
    const QString path = addFile("june.csv", "V,Id\nx,1\ny,2\n");
    import();
    EXPECT_EQ(database.rows("SELECT * FROM t ORDER BY id"),
              (QStringList{"1|x|" + path, "2|y|" + path}));
    EXPECT_EQ(windows.ui.messages, QStringList{"Done."});
}

// The run gets both options as they stood at its start in append mode, and neither in create
// mode, whatever the greyed controls hold.
TEST_F(AppendOptions, TheRunGetsThemInAppendModeOnly) {
    database.execute("CREATE TABLE t(a TEXT, b TEXT)");
    startActive();
    chooseTable("t");
    clickMark(main->Check4, true);
    typeInto(main->Text4, "from");
    main->addFileEntry(QStringLiteral("/data/a.csv"));
    QSemaphore goOn;
    std::atomic<bool> started{false};
    ImportChoices seen;
    main->setImportEngine([&](const ImportChoices& choices, ImportFrontEnd&) {
        seen = choices;
        started = true;
        goOn.acquire();
        return ImportResult{ImportOutcome::Done, 0, 1, 0};
    });
    for (const bool append : {true, false}) {
        SCOPED_TRACE(append ? "append" : "create");
        if (!append)
            clickMark(main->Option1, true);
        started = false;
        clickImport();
        ASSERT_TRUE(waitUntil([&] { return started.load(); }));
        EXPECT_FALSE(main->Check4->isEnabled()) << "locked during the run";
        EXPECT_FALSE(main->Text4->isEnabled());
        goOn.release();
        ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
        EXPECT_EQ(seen.matchNames, append);
        EXPECT_EQ(seen.fileColumn, append ? QStringLiteral("from") : QString());
    }
}
