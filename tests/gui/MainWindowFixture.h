#pragma once

#include "ClickKit.h"
#include "WindowTestKit.h"

#include "shell/Settings.h"
#include "windows/Form2.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The main window over a fresh database, reached through a start-up with working stored
// settings, and a temporary folder for the files to import. A test whose tables the main
// window's list should show makes them before start().
struct MainWindowFixture : ::testing::Test {
    TestDatabase database;
    TestWindows windows;
    QTemporaryDir folder;
    Form2* main = nullptr;

    // Runs the start-up and waits until the main window is on the screen, where clicks reach
    // its controls at their places.
    void start() {
        windows.startWith(database.settings());
        main = &windows.form1.mainWindow();
        ASSERT_TRUE(main->isVisible());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    }

    // start(), with the main window made the active one, as typed keys need.
    void startActive() {
        start();
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    }

    // The runs from now on go over one connection (the store's "Connections"), where a test
    // counts on what one connection does: the first lines in after a stop, one backend, one
    // chunk in doubt at a time.
    static void oneConnection() { WriteSetting(SettingKeys::Connections, QStringLiteral("1")); }

    // Writes a file into the folder, adds it to the file list and returns its path.
    QString addFile(const QString& name, const QByteArray& content) {
        const QString path = writeTestFile(folder, name, content);
        main->addFileEntry(path);
        return path;
    }

    // The append option and the table, chosen by clicks.
    void chooseTable(const QString& table) {
        clickMark(main->Option2, true);
        QListWidgetItem* item = main->List1->findItems(table, Qt::MatchExactly).value(0);
        ASSERT_TRUE(item);
        main->List1->scrollToItem(item);
        clickInWindow(main->List1->viewport(), main->List1->visualItemRect(item).center());
        ASSERT_TRUE(item->isSelected());
    }

    void clickImport() { clickInWindow(main->PushButton1, main->PushButton1->rect().center()); }

    // Clicks "Import" and waits for the end of the run.
    void import() {
        clickImport();
        ASSERT_TRUE(main->importRunning());
        ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    }
};
