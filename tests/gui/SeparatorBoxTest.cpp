#include "MainWindowFixture.h"

#include "windows/Form2.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct SeparatorBox : MainWindowFixture {};

} // namespace

// A tab-separated file imports with \t typed in the box; the Tab key still moves the focus on
// from the box (to "?", then to the quotes box) and Shift+Tab back.
TEST_F(SeparatorBox, TypedBackslashTImportsATabSeparatedFileAndTabStillMovesOn) {
    startActive();
    addFile(QStringLiteral("tabs.txt"), "Code\tPrice, net\n7\t1,5\n8\t2\n");
    typeInto(main->Text3, QStringLiteral("\\t"));
    EXPECT_EQ(main->Text3->text(), QStringLiteral("\\t"));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), main->PushButton6);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), main->Check3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), main->Text3);
    EXPECT_EQ(main->Text3->text(), QStringLiteral("\\t")) << "Tab typed nothing into the box";

    import();
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(database.columnsOf("NewTable1"), (QStringList{"Code text", "Pricenet text"}))
        << "two columns: the Tab cut the header; the name rule drops the comma and space";
    EXPECT_EQ(database.rows(QStringLiteral("SELECT * FROM \"NewTable1\" ORDER BY 1")),
              (QStringList{"7|1,5", "8|2"}));
}
