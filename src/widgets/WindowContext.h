#pragma once

#include <QString>
#include <functional>

class QWidget;
class UserInterface;

// What the windows need from the program around them. The desktop program fills it with
// modal boxes, the results window and the end of the event loop; tests fill it with recorders
// so that no real modal loop ever runs. Used on the UI thread only.
struct WindowContext {
    // Message boxes, the "Application Error" message and input boxes.
    UserInterface& ui;

    // Shows the field-count report in a fresh results window, modal over the parent, and
    // returns once the user has closed it.
    std::function<void(const QString& report, QWidget* parent)> showReport;

    // Ends the whole program (closing either main window does this).
    std::function<void()> endProgram;
};
