#include "MainWindowFixture.h"

#include "import/ImportFrontEnd.h"
#include "widgets/WindowPointer.h"
#include "windows/Form2.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSemaphore>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// The main window of a working connection, with its start-up steps run.
struct MainWindow : MainWindowFixture {
    void SetUp() override { start(); }
};

} // namespace

TEST_F(MainWindow, OptionsSwitchTheirControlsBothWays) {
    // Each row: control, enabled after Option1, enabled after Option2.
    const std::tuple<QWidget*, bool, bool> table[] = {
        {main->Option3, true, false}, {main->Option4, true, false}, {main->Label5, true, false},
        {main->Text2, true, false},   {main->Frame4, false, true},  {main->Check2, false, true},
        {main->Label2, false, true},  {main->List1, false, true},   {main->Frame3, true, true},
    };
    const auto expectColumn = [&](bool appendColumn, const char* when) {
        for (const auto& [control, create, append] : table)
            EXPECT_EQ(control->isEnabled(), appendColumn ? append : create)
                << when << ": " << control->objectName().toStdString();
    };
    expectColumn(false, "initially");
    QTest::mouseClick(main->Option4, Qt::LeftButton);
    QTest::mouseClick(main->Option2, Qt::LeftButton);
    expectColumn(true, "after Option2");
    QTest::mouseClick(main->Option1, Qt::LeftButton);
    expectColumn(false, "after Option1");
    EXPECT_TRUE(main->Option4->isChecked()) << "the options do not change the column choice";
}

TEST_F(MainWindow, SetupConnectionAndNextKeepFilesAndResetTheTexts) {
    QStringList files;
    for (int i = 1; i <= 10; ++i)
        files << QStringLiteral("/data/file %1.csv").arg(i);
    for (const QString& file : files)
        main->addFileEntry(file);
    QTest::mouseClick(main->Option2, Qt::LeftButton);

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        main->Text3->setText(QStringLiteral(";"));
        main->Text2->setText(QStringLiteral("Other"));
        database.execute(QStringLiteral("CREATE TABLE \"Round%1\"(a TEXT)").arg(round));

        QTest::mouseClick(main->PushButton5, Qt::LeftButton);
        EXPECT_TRUE(windows.form1.isVisible());
        EXPECT_FALSE(main->isVisible());
        QTest::mouseClick(windows.form1.PushButton3, Qt::LeftButton);
        EXPECT_FALSE(windows.form1.isVisible());
        EXPECT_TRUE(main->isVisible());

        EXPECT_EQ(main->fileEntries(), files);
        EXPECT_EQ(main->Text3->text(), QStringLiteral(","));
        EXPECT_EQ(main->Text2->text(), QStringLiteral("NewTable[counter]"));
        EXPECT_TRUE(main->Option2->isChecked());
        EXPECT_EQ(main->ListView1->columnCount(), 1);
        EXPECT_EQ(main->ListView1->headerItem()->text(0), QStringLiteral("Text Files"));
        EXPECT_EQ(main->ListView1->columnWidth(0), 333);
        EXPECT_EQ(
            main->List1->findItems(QStringLiteral("Round%1").arg(round), Qt::MatchExactly).size(),
            1)
            << "the table list is filled afresh";
    }
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

TEST_F(MainWindow, RefusedTableListIsReportedAndTheStepsGoOn) {
    windows.form1.Text4->setText(QStringLiteral("wrong"));
    windows.form1.Text3->setText(TestServer::get().role);
    main->Text3->setText(QStringLiteral(";"));
    main->Form_Load();
    ASSERT_EQ(windows.ui.errors.size(), 1);
    EXPECT_TRUE(windows.ui.errors.first().contains(
        QStringLiteral("\r\nin Quenmarl2021/08/31.Form2.Form_Load at line 116\r\r")));
    EXPECT_EQ(main->List1->count(), 0);
    EXPECT_EQ(main->Text3->text(), QStringLiteral(","));
    EXPECT_EQ(main->ListView1->columnWidth(0), 333) << "the last step still ran";
}

TEST_F(MainWindow, HelpShowsTheCommaExampleWhateverTheSeparator) {
    main->Text3->setText(QStringLiteral(";"));
    QTest::mouseClick(main->PushButton6, Qt::LeftButton);
    ASSERT_EQ(windows.ui.messages.size(), 1);
    EXPECT_EQ(windows.ui.messages.first(),
              QStringLiteral(
                  "Text files should look like this:\r\n\r\nName,State\r\nPeter,NH\r\nJane,MA\r\n"
                  "\r\nAlso, if appending, make sure the number of columns in the text file match "
                  "the number of columns in the table.\r\n\r\nWhen appending, number of columns "
                  "and data types (number, decimal, text, etc.) must be identical."));
}

// A run that stops half-way until the test lets it go on: the window must stay live, locked
// and busy meanwhile, and every question of the run is answered on the UI thread.
TEST_F(MainWindow, RunLocksTheWindowAndKeepsTheHourglassWhileHovered) {
    main->addFileEntry(QStringLiteral("/data/a.csv"));
    QTest::mouseClick(main->Option2, Qt::LeftButton);
    QSemaphore goOn;
    ImportChoices seen;
    QString answer;
    Qt::HANDLE uiThread = QThread::currentThreadId();
    Qt::HANDLE runThread = nullptr;
    main->setImportEngine([&](const ImportChoices& choices, ImportFrontEnd& frontEnd) {
        seen = choices;
        runThread = QThread::currentThreadId();
        frontEnd.setBusy(true); // a file's turn
        frontEnd.tableListed(QStringLiteral("fresh"));
        frontEnd.message(QStringLiteral("half-way"));
        goOn.acquire();
        answer = frontEnd.inputText(QStringLiteral("Enter name for column #1:"), QString());
        frontEnd.fieldCountReport({2, QStringLiteral("x")});
        frontEnd.applicationError(QStringLiteral("late failure"));
        frontEnd.setBusy(false);
        return ImportResult{ImportOutcome::Done, 1, 1, 3};
    });
    windows.ui.answers << QStringLiteral("Name");
    main->show();
    QTest::mouseMove(main->PushButton6, QPoint(5, 5));
    ASSERT_EQ(main->pointer()->mode(), WindowPointer::Mode::Custom) << "hand over a button";

    QTest::mouseClick(main->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(
        waitUntil([&] { return windows.ui.messages.contains(QStringLiteral("half-way")); }));
    EXPECT_NE(runThread, uiThread);
    EXPECT_EQ(main->List1->item(0)->text(), QStringLiteral("fresh"));
    EXPECT_EQ(seen.files, QStringList{QStringLiteral("/data/a.csv")});
    EXPECT_EQ(seen.mode, ImportChoices::TableMode::Append);
    EXPECT_EQ(seen.connection, windows.form1.connectionSettings());

    for (QWidget* locked : std::initializer_list<QWidget*>{
             main->ListView1, main->PushButton3, main->PushButton4, main->Option1, main->Option2,
             main->Option3, main->Option4, main->Text2, main->Text3, main->List1, main->PushButton1,
             main->PushButton5})
        EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
    EXPECT_EQ(main->cursor().shape(), Qt::WaitCursor);
    for (QWidget* hovered :
         std::initializer_list<QWidget*>{main->PushButton6, main->Frame2, main->PushButton6}) {
        QTest::mouseMove(hovered, QPoint(3, 3));
        EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Busy)
            << hovered->objectName().toStdString();
        EXPECT_EQ(main->cursor().shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(main->Text3->cursor().shape(), Qt::WaitCursor) << "fields show the hourglass too";

    goOn.release();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_EQ(answer, QStringLiteral("Name"));
    EXPECT_EQ(windows.ui.prompts, QStringList{QStringLiteral("Enter name for column #1:")});
    EXPECT_EQ(windows.reports, QStringList{QStringLiteral("Line no 2: x")});
    EXPECT_EQ(windows.ui.errors, QStringList{QStringLiteral("late failure")});
    EXPECT_EQ(main->lastImportResult().rowsSent, 3);

    // Unlocked into the append column of the enable table.
    EXPECT_TRUE(main->List1->isEnabled());
    EXPECT_FALSE(main->Text2->isEnabled());
    EXPECT_FALSE(main->Option3->isEnabled());
    EXPECT_TRUE(main->PushButton1->isEnabled());
    EXPECT_EQ(main->Text3->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Default);
    QTest::mouseMove(main->PushButton1, QPoint(4, 4));
    EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Custom);
    QTest::mouseMove(main->Frame1, QPoint(2, 60));
    EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Default);
}

TEST_F(MainWindow, ClosingTheProgramDuringARunStopsItWithoutAsking) {
    main->addFileEntry(QStringLiteral("/data/a.csv"));
    std::atomic<bool> started{false};
    std::atomic<bool> stopSeen{false};
    main->setImportEngine([&](const ImportChoices&, ImportFrontEnd& frontEnd) {
        started = true;
        while (!frontEnd.cancelRequested())
            QThread::msleep(1);
        stopSeen = true;
        frontEnd.message(QStringLiteral("never shown"));
        return ImportResult{ImportOutcome::Cancelled, 0, 0, 0};
    });
    QTest::mouseClick(main->PushButton1, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    windows.endProgram();
    EXPECT_TRUE(stopSeen);
    EXPECT_TRUE(windows.ui.messages.isEmpty());
}
