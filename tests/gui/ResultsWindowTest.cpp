#include "WindowTestKit.h"

#include "widgets/WindowPointer.h"
#include "windows/Form3.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(ResultsWindow, ShowsTheReportAndCloses) {
    RecordingUserInterface ui;
    Form3 window(ui);
    window.Form_Load();
    window.Text1->setPlainText(QStringLiteral("Line no 4: a,b"));
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Lines"));
    EXPECT_TRUE(window.pointer()->hasHandCursor());
    QTest::mouseMove(window.PushButton5, QPoint(5, 5));
    EXPECT_EQ(window.pointer()->mode(), WindowPointer::Mode::Custom);
    EXPECT_EQ(window.Text1->toPlainText(), QStringLiteral("Line no 4: a,b"));

    QTest::mouseClick(window.PushButton5, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(ui.errors.isEmpty());
}
