#pragma once

#include "database/ConnectionSettings.h"
#include "shell/Settings.h"
#include "support/RecordingUserInterface.h"
#include "support/TestEnvironment.h"
#include "widgets/WindowContext.h"
#include "windows/Form1.h"
#include "windows/Form2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Stores connection settings as the connection window would find them at start-up.
inline void storeConnection(const ConnectionSettings& settings) {
    WriteSetting(SettingKeys::PostgreSQLServer, settings.server);
    WriteSetting(SettingKeys::PostgreSQLPort, settings.port);
    WriteSetting(SettingKeys::PostgreSQLUser, settings.user);
    WriteSetting(SettingKeys::PostgreSQLPassword, settings.password);
    WriteSetting(SettingKeys::PostgreSQLDatabase, settings.database);
}

// Handles events until the condition holds or the time is up; returns the condition.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The two windows in a private settings store, with every box answered by the recorder, the
// results window recorded instead of shown and the end of the program counted.
struct TestWindows {
    TemporarySettings store;
    RecordingUserInterface ui;
    QStringList reports;
    int endRequests = 0;
    WindowContext context{ui, [this](const QString& report, QWidget*) { reports << report; },
                          [this] { ++endRequests; }};
    Form1 form1{context};
};

// The main window over a fresh database, reached through a start-up with working stored
// settings, and a temporary folder for the files to import.
struct MainWindowOverDatabase : ::testing::Test {
    TestDatabase database;
    TestWindows windows;
    QTemporaryDir folder;
    Form2* main = nullptr;

    void start() {
        storeConnection(database.settings());
        windows.form1.start();
        main = &windows.form1.mainWindow();
    }
};
