#include "MainWindowFixture.h"

#include "windows/Form2.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The four option buttons under clicks at their places in the window, as a person makes them:
// the press goes to whatever the window has at that point, enabled or not.
struct TableOptions : MainWindowFixture {
    void SetUp() override { start(); }

    QRadioButton* option(int number) const {
        return std::array{main->Option1, main->Option2, main->Option3, main->Option4}.at(number -
                                                                                         1);
    }

    void click(QRadioButton* button, bool onCaption) const { clickMark(button, onCaption); }

    // Which options show as chosen and what the enable table says, against the state a person
    // expects: one table option, one column option, and the controls of the chosen table mode.
    void expectState(int table, int columns) const {
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(option(n)->isChecked(), n == table || n == columns) << "Option" << n;
        const bool create = table == 1;
        const std::pair<QWidget*, bool> enabled[] = {
            {main->Option3, create}, {main->Option4, create}, {main->Label5, create},
            {main->Text2, create},   {main->Frame4, !create}, {main->Check2, !create},
            {main->Label2, !create}, {main->List1, !create},  {main->Frame3, true},
            {main->Option1, true},   {main->Option2, true},
        };
        for (const auto& [control, expected] : enabled)
            EXPECT_EQ(control->isEnabled(), expected) << control->objectName().toStdString();
        EXPECT_EQ(main->importChoices().mode,
                  create ? ImportChoices::TableMode::Create : ImportChoices::TableMode::Append);
        EXPECT_EQ(main->importChoices().names, columns == 3 ? ImportChoices::ColumnNames::FirstLine
                                                            : ImportChoices::ColumnNames::Typed);
    }
};

} // namespace

// Option1/Option2 sit in Frame2 and Option3/Option4 in Frame3 inside it: each pair is a group of
// its own. Options 3 and 4 are clicked in both table modes; in append mode they are greyed
// and a click on them changes nothing.
TEST_F(TableOptions, EachPairExcludesOnlyItsOwnPartnerInAnyOrderOfClicks) {
    const char* sequences[] = {
        "2,1,1,2,2,1",
        "4,2,3,1,3,4,4,2,2,4,1,1",
        "1,1,3,3,2,4,3,2,1,4,2,3",
    };
    for (const char* sequence : sequences) {
        SCOPED_TRACE(sequence);
        int table = main->Option1->isChecked() ? 1 : 2;
        int columns = main->Option3->isChecked() ? 3 : 4;
        int clicks = 0;
        for (const QString& step : QString::fromLatin1(sequence).split(QLatin1Char(','))) {
            const int number = step.toInt();
            SCOPED_TRACE(::testing::Message() << "click " << ++clicks << " on Option" << number);
            click(option(number), clicks % 2 == 0);
            if (number <= 2)
                table = number;
            else if (table == 1)
                columns = number;
            expectState(table, columns);
        }
    }
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

// The arrow keys move the choice within the focused option's own pair only.
TEST_F(TableOptions, ArrowKeysStayWithinTheirPair) {
    click(main->Option4, false);
    click(main->Option1, true);
    ASSERT_TRUE(main->Option1->hasFocus());
    QTest::keyClick(main->Option1, Qt::Key_Down);
    expectState(2, 4);
    EXPECT_TRUE(main->Option2->hasFocus());
    QTest::keyClick(main->Option2, Qt::Key_Down);
    expectState(2, 4);
    QTest::keyClick(main->Option2, Qt::Key_Up);
    expectState(1, 4);
    click(main->Option4, true);
    QTest::keyClick(main->Option4, Qt::Key_Up);
    expectState(1, 3);
    QTest::keyClick(main->Option3, Qt::Key_Up);
    expectState(1, 3);
    EXPECT_TRUE(main->Option3->hasFocus());
}
