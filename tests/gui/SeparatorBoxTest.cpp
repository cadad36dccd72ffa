#include "ClickKit.h"
#include "WindowTestKit.h"

#include "windows/Form2.h"
#include "windows/SeparatorText.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(SeparatorText, BackslashTStandsForATab) {
    const std::pair<const char*, const char*> cases[] = {
        {"\\t", "\t"}, {",", ","}, {"\\t|\\t", "\t|\t"}, {"\t", "\t"}, {"\\", "\\"}, {"\\n", "\\n"},
    };
    for (const auto& [typed, separator] : cases)
        EXPECT_EQ(separatorFromBox(QString::fromLatin1(typed)), QString::fromLatin1(separator))
            << typed;
}

namespace {

struct SeparatorBox : MainWindowOverDatabase {
    void startShown() {
        start();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    }

    // Puts the text into the box as a person does: click into it, select all, type.
    void typeSeparator(const QString& text) {
        clickInWindow(main->Text3, main->Text3->rect().center());
        QTest::keyClick(main->Text3, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(main->Text3, text);
    }
};

} // namespace

// A tab-separated file imports with \t typed in the box; the Tab key still moves the focus on
// from the box (to "?", then to the quotes box) and Shift+Tab back.
TEST_F(SeparatorBox, TypedBackslashTImportsATabSeparatedFileAndTabStillMovesOn) {
    startShown();
    main->addFileEntry(
        writeTestFile(folder, QStringLiteral("tabs.txt"), "Code\tPrice, net\n7\t1,5\n8\t2\n"));
    typeSeparator(QStringLiteral("\\t"));
    EXPECT_EQ(main->Text3->text(), QStringLiteral("\\t"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), main->PushButton6);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), main->Check3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), main->Text3);
    EXPECT_EQ(main->Text3->text(), QStringLiteral("\\t")) << "Tab typed nothing into the box";

    clickInWindow(main->PushButton1, main->PushButton1->rect().center());
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(database.column(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                             "WHERE table_name = 'NewTable1' ORDER BY 1")),
              (QStringList{"Code", "Pricenet"}))
        << "two columns: the Tab cut the header; the name rule drops the comma and space";
    EXPECT_EQ(database.rows(QStringLiteral("SELECT * FROM \"NewTable1\" ORDER BY 1")),
              (QStringList{"7|1,5", "8|2"}));
}
