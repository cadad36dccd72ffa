#pragma once

#include "database/ConnectionSettings.h"
#include "shell/Settings.h"
#include "support/RecordingUserInterface.h"
#include "support/TestEnvironment.h"
#include "widgets/WindowContext.h"
#include "windows/Form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
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
// results window recorded instead of shown and the end of the program counted. The connection
// window is owned through a pointer so that a test can destroy the windows mid-run, as the
// end of the program does.
struct TestWindows {
    TemporarySettings store;
    RecordingUserInterface ui;
    QStringList reports;
    int endRequests = 0;
    std::function<void()> onEnd; // what the end of the program also does, once counted
    WindowContext context{ui, [this](const QString& report, QWidget*) { reports << report; },
                          [this] {
                              ++endRequests;
                              if (onEnd)
                                  onEnd();
                          }};
    std::unique_ptr<Form1> program = std::make_unique<Form1>(context);
    Form1& form1 = *program;

    // Stores the settings as the connection window finds them and runs the start-up.
    void startWith(const ConnectionSettings& settings) {
        WriteSetting(SettingKeys::PostgreSQLServer, settings.server);
        WriteSetting(SettingKeys::PostgreSQLPort, settings.port);
        WriteSetting(SettingKeys::PostgreSQLUser, settings.user);
        WriteSetting(SettingKeys::PostgreSQLPassword, settings.password);
        WriteSetting(SettingKeys::PostgreSQLDatabase, settings.database);
        form1.start();
    }

    // Destroys both windows, as the end of the program does; form1 is gone from then on.
    void endProgram() { program.reset(); }
};
