// The main window while long work lets events through: closing it or the connection window
// during a folder scan, a scan and an import that overlap, and the pointer of an import run.
#include "MainWindowFixture.h"

#include "widgets/WindowPointer.h"
#include "windows/Form2.h"

#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>

namespace {

// Both windows, no server needed: the connection window is never started, and the main window's
// dialogs answer from the test. Ending the program does what the program does: every event
// loop is left and the user interface answers that the end was asked for.
struct BusyWindow : ::testing::Test {
    void SetUp() override {
        windows.onEnd = [this] {
            ui.ending = true;
            QCoreApplication::exit(0);
        };
        main.ListView1->setHeaderLabels({QStringLiteral("Text Files")});
        FileListDesktop& desktop = main.fileListDesktop();
        desktop.browseForFolder = [this](QWidget*, const QString&, const QString&) {
            return tree.path();
        };
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    }

    // A tree of many folders: its scan lets events through many hundred times.
    void makeBigTree() {
        QStringList paths;
        for (int i = 0; i < 40; ++i)
            for (int j = 0; j < 10; ++j)
                paths << QStringLiteral("d%1/e%2/f.txt").arg(i).arg(j);
        makeTree(tree, paths);
    }

    void scanByButton(const QString& extension = QStringLiteral("txt")) {
        ui.answers = {extension};
        QTest::mouseClick(main.PushButton4, Qt::LeftButton);
    }

    void selectFirstEntry() {
        QTreeWidget* list = main.ListView1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        ASSERT_EQ(list->selectedItems().size(), 1);
    }

    void dropTree() {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(tree.path())});
        QWidget* viewport = main.ListView1->viewport();
        const QPoint point = viewport->rect().center();
        QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
    }

    TestWindows windows;
    RecordingUserInterface& ui = windows.ui;
    Form2 main{windows.context, windows.form1};
    QTemporaryDir tree;
};

TEST_F(BusyWindow, ClosingEitherWindowDuringAFolderScanEndsTheProgramAtOnce) {
    makeBigTree();
    struct Case {
        const char* name;
        bool dropped;
        bool closeConnectionWindow;
    } cases[] = {
        {"the main window, during Add All File(s) In Folder", false, false},
        {"the connection window, after Setup Connection during the scan", false, true},
        {"the main window, during the scan of a dropped folder", true, false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        main.ListView1->clear();
        ui.ending = false;
        windows.endRequests = 0;
        main.show();
        // A zero timer runs each time the scan lets events through. On its fifth run it closes
        // the window as a person would; after that it counts how often the scan went on.
        int passes = 0;
        int passesAfterClose = -1;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (passesAfterClose >= 0) {
                ++passesAfterClose;
                return;
            }
            if (++passes < 5)
                return;
            passesAfterClose = 0;
            if (row.closeConnectionWindow) {
                QTest::mouseClick(main.PushButton5, Qt::LeftButton);
                ASSERT_TRUE(windows.form1.isVisible());
                windows.form1.close();
            } else {
                main.close();
            }
        });
        QTimer::singleShot(0, &main, [&] {
            timer.start();
            if (row.dropped)
                dropTree();
            else
                scanByButton();
        });
        EXPECT_EQ(QCoreApplication::exec(), 0);
        timer.stop();
        EXPECT_EQ(windows.endRequests, 1);
        EXPECT_EQ(passesAfterClose, 0) << "the scan went on after the window was closed "
                                          "(-1: it was never closed)";
        EXPECT_TRUE(main.fileEntries().isEmpty()) << "nothing is added once the program ends";
        EXPECT_TRUE(ui.errors.isEmpty());
    }
}

TEST_F(BusyWindow, AScanAndAnImportThatOverlapKeepThePointerBusyUntilBothEnd) {
    makeTree(tree, {"a/x.txt", "b/y.txt", "c/z.txt"});
    QSemaphore goOn;
    std::atomic<bool> inTurn{false};
    main.setImportEngine([&](const ImportChoices&, ImportFrontEnd& frontEnd) {
        frontEnd.setBusy(true);
        inTurn = true;
        goOn.acquire();
        frontEnd.setBusy(false);
        return ImportResult{ImportOutcome::Done, 1, 1, 0};
    });
    main.addFileEntry(QStringLiteral("/data/listed.txt"));

    // The import starts during the scan; the scan ends while a file's turn still runs.
    QTimer::singleShot(0, &main, [&] {
        QTest::mouseClick(main.PushButton1, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return inTurn.load(); }));
    });
    scanByButton();
    ASSERT_TRUE(main.importRunning());
    EXPECT_EQ(main.fileEntries().size(), 4) << "the scan's files are added behind the listed one";
    EXPECT_TRUE(main.pointer()->isBusy()) << "the file's turn still holds the pointer";
    EXPECT_EQ(main.cursor().shape(), Qt::WaitCursor);
    goOn.release();
    ASSERT_TRUE(waitUntil([&] { return !main.importRunning(); }));
    EXPECT_FALSE(main.pointer()->isBusy());

    // The import starts and ends during the scan: the scan still holds the pointer, and the
    // list, unlocked again, refuses removal until the scan has ended.
    inTurn = false;
    goOn.release();
    std::optional<bool> busyAfterImport;
    int entriesAfterDelete = -1;
    QTimer::singleShot(0, &main, [&] {
        QTest::mouseClick(main.PushButton1, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return inTurn.load() && !main.importRunning(); }));
        busyAfterImport = main.pointer()->isBusy();
        selectFirstEntry();
        QTest::keyClick(main.ListView1, Qt::Key_Delete);
        entriesAfterDelete = int(main.fileEntries().size());
    });
    scanByButton();
    EXPECT_EQ(busyAfterImport, true);
    EXPECT_EQ(entriesAfterDelete, 4) << "nothing removed while the scan runs";
    EXPECT_EQ(main.fileEntries().size(), 7);
    EXPECT_FALSE(main.pointer()->isBusy());
    EXPECT_EQ(main.cursor().shape(), Qt::ArrowCursor);
    selectFirstEntry();
    QTest::keyClick(main.ListView1, Qt::Key_Delete);
    EXPECT_EQ(main.fileEntries().size(), 6) << "removal works again once both have ended";
    EXPECT_TRUE(ui.errors.isEmpty());
}

struct BusyPointer : MainWindowFixture {};

// The real engine against the real server: the busy pointer shows during each file's turn (the
// failure of a missing file is reported inside it) but not behind the start checks or the
// closing message, while the controls stay locked for the whole run.
TEST_F(BusyPointer, ShowsForEachFilesTurnOnly) {
    start();
    QStringList seen; // each box, with the pointer and the import button at that moment
    windows.ui.onBox = [&](const QString& text, bool error) {
        seen << QStringLiteral("%1 | %2 | %3")
                    .arg(error ? QStringLiteral("Application Error") : text,
                         main->pointer()->isBusy() ? "busy" : "default",
                         main->PushButton1->isEnabled() ? "unlocked" : "locked");
    };
    const auto run = [&] {
        import();
        EXPECT_FALSE(main->pointer()->isBusy());
    };

    run();
    const QString good = addFile(QStringLiteral("a.csv"), "n,t\n1,x\n");
    main->addFileEntry(good);
    typeInto(main->Text2, QStringLiteral("fixed"));
    run(); // the second file finds its table listed
    typeInto(main->Text2, QStringLiteral("t[counter]"));
    run();
    main->ListView1->clear();
    main->addFileEntry(folder.filePath(QStringLiteral("missing.csv")));
    run();

    EXPECT_EQ(seen,
              (QStringList{"No files added. | default | locked",
                           "Table(s) already exist. | default | locked", "Done. | default | locked",
                           "Application Error | busy | locked", "Done. | default | locked"}))
        << "a missing file is named once and passed over, and the run closes as usual";
}

} // namespace
