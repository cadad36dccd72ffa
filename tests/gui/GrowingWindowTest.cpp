#include "MainWindowFixture.h"

#include "widgets/WindowHelpers.h"
#include "windows/Form2.h"
#include "windows/Form3.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

QRect designedRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

// Gaps between a control and its neighbour or its parent's edges, which growing must keep.
struct Gaps {
    int belowFileList;   // file list's bottom to "Add Text File(s)"
    int rightOfButton4;  // "Add All File(s) In Folder" to the first frame's right edge
    int belowTableFrame; // "Table Options" frame to "Import to PostgreSQL"
    int belowImport;     // "Import to PostgreSQL" to the window's bottom
    int rightOfSetup;    // "Setup Connection" to the window's right edge
    int belowTableList;  // table list to its frame's bottom
    bool operator==(const Gaps&) const = default;
};

Gaps gapsOf(const Form2& window) {
    return {window.PushButton3->y() - window.ListView1->geometry().bottom(),
            window.Frame1->width() - window.PushButton4->geometry().right(),
            window.PushButton1->y() - window.Frame2->geometry().bottom(),
            window.height() - window.PushButton1->geometry().bottom(),
            window.width() - window.PushButton5->geometry().right(),
            window.Frame4->height() - window.List1->geometry().bottom()};
}

using GrowingWindow = MainWindowFixture;

} // namespace

// Grown by the user and brought back, the window gives every control its designed rectangle;
// it cannot be made smaller than designed.
TEST_F(GrowingWindow, DesignedSizeGivesTheDesignedPlaces) {
    start();
    const QSize designed(twips(6360), twips(9280)); // 8200 and the append and create options
    EXPECT_EQ(main->size(), designed);
    EXPECT_EQ(main->minimumSize(), designed);
    main->resize(designed + QSize(377, 251));
    main->resize(designed);
    const struct {
        QWidget* control;
        QRect rect;
    } cases[] = {
        {main->Frame1, designedRect(120, 0, 6120, 2480)},
        {main->ListView1, designedRect(120, 240, 5880, 1215)},
        {main->PushButton3, designedRect(120, 1540, 2895, 400)},
        {main->PushButton4, designedRect(3120, 1540, 2870, 400)},
        {main->Text3, designedRect(2280, 2050, 1695, 330)},
        {main->Check3, designedRect(4665, 2060, 1425, 300)},
        {main->Frame2, designedRect(120, 2520, 6120, 6135)},
        {main->Frame3, designedRect(180, 720, 5775, 1815)},
        {main->Text2, designedRect(1680, 960, 3735, 330)},
        {main->Check5, designedRect(120, 1380, 4455, 255)},
        {main->Frame4, designedRect(180, 3000, 5775, 2895)},
        {main->List1, designedRect(1680, 720, 3735, 1185)},
        {main->Check4, designedRect(120, 2040, 5535, 255)},
        {main->Text4, designedRect(3120, 2370, 2295, 330)},
        {main->PushButton1, designedRect(120, 8760, 3015, 400)},
        {main->PushButton5, designedRect(3240, 8760, 3000, 400)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.control->geometry(), c.rect) << c.control->objectName().toStdString();
    EXPECT_EQ(main->ListView1->columnWidth(0), twips(5000));

    main->resize(designed - QSize(100, 100));
    EXPECT_EQ(main->size(), designed) << "no smaller than designed";
}

// The lists take the extra room, the file list and the table list half the height each (odd
// sizes included), and every button keeps its distances to its neighbours and the edges.
TEST_F(GrowingWindow, ListsTakeTheRoomAndButtonsKeepTheirDistances) {
    start();
    const QSize designed = main->size();
    const Gaps gaps = gapsOf(*main);
    const QSize fileList = main->ListView1->size();
    const QSize tableList = main->List1->size();
    const int column = main->ListView1->columnWidth(0);
    const QSize extras[] = {
        {1, 1}, {300, 200}, {777, 255}, {1200 - designed.width(), 800 - designed.height()}};
    for (const QSize& extra : extras) {
        SCOPED_TRACE(testing::Message() << extra.width() << "x" << extra.height());
        main->resize(designed + extra);
        EXPECT_EQ(main->ListView1->size(), fileList + QSize(extra.width(), extra.height() / 2));
        EXPECT_EQ(main->List1->size(),
                  tableList + QSize(extra.width(), extra.height() - extra.height() / 2));
        EXPECT_EQ(gapsOf(*main), gaps);
        EXPECT_EQ(main->ListView1->columnWidth(0), column + extra.width());
    }
}

// Maximised, the window fills the screen and its lists still take the room.
TEST_F(GrowingWindow, Maximises) {
    start();
    const Gaps gaps = gapsOf(*main);
    const QSize fileList = main->ListView1->size();
    main->showMaximized();
    ASSERT_TRUE(waitUntil([&] { return main->isMaximized(); }));
    ASSERT_TRUE(waitUntil([&] { return main->ListView1->width() > fileList.width(); }));
    EXPECT_GT(main->ListView1->height(), fileList.height());
    EXPECT_EQ(gapsOf(*main), gaps);
}

// A long path keeps its file name in sight, cut in the middle, and shows whole as the entry's
// tool tip; away from the entries the list's hint shows.
TEST_F(GrowingWindow, LongPathShowsItsNameAndItsWholePathOnHover) {
    start();
    const QString deep = QStringLiteral("a-folder-with-a-long-name/").repeated(6);
    ASSERT_TRUE(QDir(folder.path()).mkpath(deep));
    const QString path = addFile(deep + QStringLiteral("orders-2026.csv"), "a,b\n1,2\n");
    QTreeWidget* list = main->ListView1;
    const int room =
        list->columnWidth(0) - 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const QString shown = list->fontMetrics().elidedText(path, list->textElideMode(), room);
    EXPECT_NE(shown, path) << "the path is longer than the column";
    EXPECT_TRUE(shown.endsWith(QStringLiteral("orders-2026.csv"))) << shown.toStdString();

    const QRect entry = list->visualItemRect(list->topLevelItem(0));
    const struct {
        const char* name;
        QPoint at;
        QString tip;
    } cases[] = {
        {"over the entry", entry.center(), path},
        {"below the entries", QPoint(entry.center().x(), list->viewport()->height() - 3),
         QStringLiteral("Drag and drop files here. Double-click item to remove it. Point at an "
                        "item to see its full name.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::mouseMove(list->viewport(), c.at);
        QHelpEvent hover(QEvent::ToolTip, c.at, list->viewport()->mapToGlobal(c.at));
        QApplication::sendEvent(list->viewport(), &hover);
        EXPECT_EQ(QToolTip::text(), c.tip);
        QToolTip::hideText();
    }
}

// During a run in a grown window the progress row shows below the buttons, the window taller
// by the row; afterwards the window is back at the size the user gave it.
TEST_F(GrowingWindow, ProgressRowShowsInAGrownWindow) {
    start();
    addFile("big.csv", numberedLines(400000));
    const QSize grown = main->size() + QSize(250, 150);
    main->resize(grown);
    const QSize fileList = main->ListView1->size();
    QTest::mouseClick(main->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(
        waitUntil([&] { return !main->importRunning() || main->PushButtonCancel->isVisible(); }));
    ASSERT_TRUE(main->importRunning()) << "the run ended before its progress showed";
    EXPECT_EQ(main->width(), grown.width());
    EXPECT_GT(main->height(), grown.height());
    EXPECT_EQ(main->ListView1->size(), fileList);
    EXPECT_GE(main->LabelProgress->y(), main->PushButton1->geometry().bottom());
    EXPECT_LT(main->LabelProgress->geometry().right(), main->PushButtonCancel->x());
    EXPECT_LE(main->PushButtonCancel->geometry().bottom(), main->height());
    EXPECT_EQ(main->width() - main->PushButtonCancel->geometry().right(),
              main->width() - main->PushButton5->geometry().right());
    QTest::mouseClick(main->PushButtonCancel, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_FALSE(main->PushButtonCancel->isVisible());
    EXPECT_EQ(main->size(), grown);
}

// The results window can be resized; its text takes the room and "Close" stays under it.
TEST(ResultsWindowSize, TextTakesTheRoom) {
    RecordingUserInterface ui;
    Form3 window(ui);
    window.show();
    const QSize designed = window.size();
    EXPECT_EQ(window.minimumSize(), designed);
    const QSize text = window.Text1->size();
    const int gap = window.height() - window.PushButton5->geometry().bottom();
    window.resize(designed + QSize(400, 300));
    EXPECT_EQ(window.Text1->size(), text + QSize(400, 300));
    EXPECT_EQ(window.height() - window.PushButton5->geometry().bottom(), gap);
    EXPECT_EQ(window.PushButton5->width(), window.Text1->width());
}
