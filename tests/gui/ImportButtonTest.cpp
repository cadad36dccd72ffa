#include "MainWindowFixture.h"

#include "windows/Form2.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ImportButton : MainWindowFixture {
    QStringList topOfTableList(int count) const {
        QStringList names;
        for (int i = 0; i < count && i < main->List1->count(); ++i)
            names << main->List1->item(i)->text();
        return names;
    }
};

} // namespace

TEST_F(ImportButton, CreatesOneTableForEachFileFromItsFirstLine) {
    start();
    addFile(QStringLiteral("a.csv"), "Name,State\r\nPeter,NH\r\nJane,MA\r\n");
    addFile(QStringLiteral("b.csv"), "Code,Price\n7,\"1.5\"\n");
    import();

    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join("\n").toStdString();
    EXPECT_EQ(database.rows(QStringLiteral("SELECT * FROM \"NewTable1\" ORDER BY 1")),
              (QStringList{"Jane|MA", "Peter|NH"}));
    EXPECT_EQ(database.columnsOf("NewTable2"), (QStringList{"Code text", "Price text"}));
    EXPECT_EQ(database.rowsOf("NewTable2"), QStringList{"7|1.5"});
    EXPECT_EQ(topOfTableList(2), (QStringList{"NewTable2", "NewTable1"}))
        << "new names go to the top of the list as they are created";
    EXPECT_EQ(main->lastImportResult().outcome, ImportOutcome::Done);
}

TEST_F(ImportButton, AsksForTypedColumnNamesOnTheWindowsThread) {
    start();
    QTest::mouseClick(main->Option4, Qt::LeftButton);
    main->Text2->setText(QStringLiteral("Typed"));
    addFile(QStringLiteral("a.csv"), "x,y\n1,2\n");
    windows.ui.answers << QStringLiteral("First") << QStringLiteral("Second");
    import();

    EXPECT_EQ(windows.ui.prompts,
              (QStringList{"Enter name for column #1:", "Enter name for column #2:"}));
    EXPECT_EQ(database.columnsOf("Typed"), (QStringList{"First text", "Second text"}));
    EXPECT_EQ(database.rowsOf("Typed"), QStringList{"1|2"});
}

TEST_F(ImportButton, AppendsAndReportsTheRowTheServerRejects) {
    database.execute(QStringLiteral(
        "CREATE TABLE people(name TEXT, state TEXT CONSTRAINT no_xx CHECK (state <> 'XX'))"));
    start();
    QTest::mouseClick(main->Option2, Qt::LeftButton);
    const QList<QListWidgetItem*> target =
        main->List1->findItems(QStringLiteral("people"), Qt::MatchExactly);
    ASSERT_EQ(target.size(), 1);
    main->List1->setCurrentItem(target.first());
    addFile(QStringLiteral("people.txt"), "Name,State\nPeter,NH\nBad,XX\nJane,MA\n");
    import();

    EXPECT_EQ(database.rows(QStringLiteral("SELECT * FROM people ORDER BY 1")),
              (QStringList{"Jane|MA", "Peter|NH"}));
    ASSERT_EQ(windows.ui.errors.size(), 1);
    EXPECT_TRUE(windows.ui.errors.first().contains(QStringLiteral("no_xx")))
        << windows.ui.errors.first().toStdString();
    EXPECT_TRUE(windows.ui.errors.first().contains(
        QStringLiteral("\r\nin Quenmarl2021/08/31.Form2.PushButton1_Click at line ")));
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(main->List1->isEnabled()) << "the append column of the table is back";
}

TEST_F(ImportButton, FieldCountReportEndsTheRunAfterEarlierFiles) {
    start();
    addFile(QStringLiteral("good.csv"), "a,b\n1,2\n");
    addFile(QStringLiteral("bad.csv"), "a,b\n1,2\n3\n4,5\n6\n");
    addFile(QStringLiteral("never.csv"), "a,b\n1,2\n");
    import();

    EXPECT_EQ(windows.reports, QStringList{QStringLiteral("Line no 2: 3")});
    EXPECT_TRUE(windows.ui.messages.isEmpty()) << "no closing message";
    EXPECT_EQ(database.rowsOf("NewTable1"), QStringList{"1|2"});
    EXPECT_EQ(database.column(QStringLiteral("SELECT count(*) FROM pg_tables WHERE tablename "
                                             "IN ('NewTable2', 'NewTable3')")),
              QStringList{"0"});
    EXPECT_EQ(main->lastImportResult().outcome, ImportOutcome::StoppedByFieldCount);
}

TEST_F(ImportButton, StartChecksAnswerWithoutLockingForLong) {
    start();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString message;
    };
    const Case cases[] = {
        {"no files", [] {}, QStringLiteral("No files added.")},
        {"no table selected",
         [&] {
             main->addFileEntry(QStringLiteral("/nowhere.csv"));
             QTest::mouseClick(main->Option2, Qt::LeftButton);
             main->List1->clearSelection();
         },
         QStringLiteral("Please select a table.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        windows.ui.messages.clear();
        c.arrange();
        import();
        EXPECT_EQ(windows.ui.messages, QStringList{c.message});
        EXPECT_TRUE(main->PushButton1->isEnabled());
    }
}

TEST_F(ImportButton, TellsOnceForEachFileWhoseLinesHoldNoSeparator) {
    start();
    addFile(QStringLiteral("semi.csv"), "a;b\n1;2\n3;4\n");
    addFile(QStringLiteral("good.csv"), "a,b\n1,2\n");
    addFile(QStringLiteral("tabs.csv"), "a\tb\n1\t2\n");
    import();

    const QString tail = QStringLiteral(": no line holds the separator \",\".");
    EXPECT_EQ(
        windows.ui.messages,
        (QStringList{"No rows were sent from " + folder.filePath("semi.csv") + tail,
                     "No rows were sent from " + folder.filePath("tabs.csv") + tail, "Done."}));
    EXPECT_EQ(database.rowsOf("NewTable2"), QStringList{"1|2"});
    EXPECT_EQ(main->lastImportResult().filesPassedOver, 2);
}
