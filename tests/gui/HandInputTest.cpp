// Controls that earlier tests set from the code, driven here by clicks and keys as a person
// would use them.
#include "MainWindowFixture.h"

#include "windows/Form2.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct HandInput : MainWindowFixture {};

} // namespace

// Create mode with typed column names, every choice made by hand: the table-name template is
// typed, the column option clicked, the names answered.
TEST_F(HandInput, TypedTemplateAndTypedColumnNames) {
    startActive();
    addFile(QStringLiteral("a.csv"), "x,y\n1,2\n");
    clickMark(main->Option4);
    typeInto(main->Text2, QStringLiteral("Typed[counter]"));
    windows.ui.answers << QStringLiteral("First") << QStringLiteral("Second");
    import();
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(database.columnsOf("Typed1"), (QStringList{"First text", "Second text"}));
    EXPECT_EQ(database.rowsOf("Typed1"), QStringList{"1|2"})
        << "the header line is ignored, the data line goes in";
}

// Append mode: the table is picked in the list with a click, then changed with the arrow key.
TEST_F(HandInput, AppendsToTheTableClickedInTheList) {
    database.execute(QStringLiteral("CREATE TABLE aaa_first(a TEXT, b TEXT)"));
    database.execute(QStringLiteral("CREATE TABLE aaa_second(a TEXT, b TEXT)"));
    startActive();
    main->List1->sortItems();
    addFile(QStringLiteral("a.csv"), "a,b\n1,2\n");
    clickMark(main->Option2, true);
    const auto row = [&](const char* name) {
        const QList<QListWidgetItem*> found =
            main->List1->findItems(QString::fromLatin1(name), Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    };
    ASSERT_NE(row("aaa_first"), nullptr);
    ASSERT_EQ(main->List1->row(row("aaa_second")), main->List1->row(row("aaa_first")) + 1);
    clickInWindow(main->List1->viewport(), main->List1->visualItemRect(row("aaa_first")).center());
    EXPECT_EQ(main->importChoices().selectedTable, main->List1->row(row("aaa_first")));
    QTest::keyClick(main->List1, Qt::Key_Down);
    import();
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(database.rowsOf("aaa_second"), QStringList{"1|2"});
    EXPECT_EQ(database.rowsOf("aaa_first"), QStringList{});
}

// A click into a connection field selects its whole text, as tabbing into it does, so that
// typing replaces it.
TEST(HandInputConnection, ClickingIntoAFieldSelectsItsWholeText) {
    TestWindows windows;
    windows.form1.Form_Load();
    windows.form1.show();
    windows.form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&windows.form1));
    for (QLineEdit* field : {windows.form1.Text1, windows.form1.Text3, windows.form1.Text5}) {
        SCOPED_TRACE(field->objectName().toStdString());
        field->setText(QStringLiteral("old value"));
        clickInWindow(field, QPoint(10, field->height() / 2));
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), field);
        EXPECT_EQ(field->selectedText(), QStringLiteral("old value"));
        QTest::keyClicks(field, QStringLiteral("new"));
        EXPECT_EQ(field->text(), QStringLiteral("new"));
    }
}
