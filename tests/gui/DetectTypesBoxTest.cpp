#include "MainWindowFixture.h"

#include "shell/Settings.h"
#include "windows/Form2.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

// "Detect column types", below the table name: enabled with the create option only, reached by
// Tab from the table name, kept in the settings store, and the new tables' columns typed by it.

namespace {

using DetectTypesBox = MainWindowFixture;

} // namespace

TEST_F(DetectTypesBox, EnabledWithCreateOnlyAndKeptAcrossARestart) {
    startActive();
    EXPECT_FALSE(main->Check5->isChecked());
    EXPECT_TRUE(main->Check5->isEnabled());
    clickMark(main->Option2, true);
    EXPECT_FALSE(main->Check5->isEnabled());
    clickMark(main->Check5);
    EXPECT_FALSE(main->Check5->isChecked()) << "disabled with the append option";

    clickMark(main->Option1, true);
    ASSERT_TRUE(main->Check5->isEnabled());
    typeInto(main->Text2, "T[counter]");
    QTest::keyClick(main->Text2, Qt::Key_Tab);
    ASSERT_TRUE(main->Check5->hasFocus()) << "next after the table name";
    QTest::keyClick(main->Check5, Qt::Key_Space);
    EXPECT_TRUE(main->Check5->isChecked());
    EXPECT_EQ(ReadSetting(SettingKeys::DetectTypes), QStringLiteral("1"));

    windows.endProgram();
    Form1 again(windows.context);
    again.start();
    Form2& restarted = again.mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&restarted));
    EXPECT_TRUE(restarted.Check5->isChecked()) << "the stored state";
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

// Ticked, a run makes typed columns and sends an empty value of a typed column as NULL;
// unticked again, the next run's columns are all TEXT.
TEST_F(DetectTypesBox, TickedTheNewTablesAreTyped) {
    startActive();
    typeInto(main->Text2, "typed[counter]");
    clickMark(main->Check5);
    ASSERT_TRUE(main->Check5->isChecked());
    addFile("june.csv", "day,amount,note\n2024-06-01,12.50,first\n,3,\n2024-06-03,,x\n");
    import();
    EXPECT_EQ(windows.ui.messages, QStringList{"Done."});
    EXPECT_EQ(database.columnsOf("typed1"),
              (QStringList{"day date", "amount numeric", "note text"}));
    EXPECT_EQ(database.rows("SELECT * FROM typed1 ORDER BY amount"),
              (QStringList{"<NULL>|3|<NULL>", "2024-06-01|12.50|first", "2024-06-03|<NULL>|x"}));

    clickMark(main->Check5);
    ASSERT_FALSE(main->Check5->isChecked());
    typeInto(main->Text2, "plain[counter]");
    import();
    EXPECT_EQ(database.columnsOf("plain1"), (QStringList{"day text", "amount text", "note text"}));
}
