#pragma once

#include "shell/ApplicationError.h"

#include <QString>

// What the program asks of whoever is in front of it: the GUI shows modal boxes, the command
// line prints, tests record and answer. Every call returns only when the user has answered.
// Implementations are called on the thread that owns them; the GUI forwards calls from worker
// threads to its own thread.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A plain message: one OK button, no icon, the application title as caption.
    virtual void message(const QString& text) = 0;

    // The "Application Error" message: its complete text, built by applicationErrorText().
    virtual void applicationError(const QString& text) = 0;

    // The "Application Error" message of a failed step, from its parts: the procedure's context
    // text, the step's number and the failure's description. By default shows the complete
    // text through applicationError(); a front end that shows the description apart overrides
    // it.
    virtual void applicationErrorOfStep(const QString& context, int step,
                                        const QString& description) {
        applicationError(applicationErrorText(context, step, description));
    }

    // The "Application Error" message of a rejected row, which also offers to list the rest of
    // the run's rejected rows at its end instead of a box for each: true when the user chose
    // that. By default the message shown through applicationError(), and false.
    virtual bool rejectedRowError(const QString& text) {
        applicationError(text);
        return false;
    }

    // An input box with the application title. Cancel gives the empty text.
    virtual QString inputText(const QString& prompt, const QString& defaultAnswer) = 0;

    // Whether the user has ended the program (closed its window) while work on this thread let
    // events be handled. Such work asks after each time it does so and, on yes, stops at once
    // and leaves everything as it is.
    virtual bool endRequested() const { return false; }
};
