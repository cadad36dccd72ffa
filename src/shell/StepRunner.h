#pragma once

#include "shell/Failure.h"

#include <QString>
#include <exception>
#include <utility>

class UserInterface;

// Runs the numbered steps of one reporting procedure. A step that throws is reported with the
// "Application Error" message (the procedure's context text and the step's number) and the
// procedure goes on with what follows, so one cause may give several messages in a row:
//  - step(): the failing step's remaining work is skipped; returns whether it succeeded, so a
//    step that advances a loop can end the loop on failure;
//  - test(): a condition whose test fails counts as passed, so the guarded block is entered;
//  - value(): a value whose computation fails gives the fallback, so a loop whose start fails
//    still runs its body with the fallback.
// Exceptions never leave the runner. A Stopped exception (the user's stop) is not reported.
class StepRunner {
public:
    StepRunner(UserInterface& ui, QString context);

    template <class Work> bool step(int number, Work&& work) {
        begin(number);
        try {
            std::forward<Work>(work)();
            return true;
        } catch (...) {
            reportCurrent(std::current_exception());
            return false;
        }
    }

    template <class Condition> bool test(int number, Condition&& condition) {
        begin(number);
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            reportCurrent(std::current_exception());
            return true;
        }
    }

    template <class T, class Work> T value(int number, Work&& work, T fallback) {
        begin(number);
        try {
            return std::forward<Work>(work)();
        } catch (...) {
            reportCurrent(std::current_exception());
            return fallback;
        }
    }

    // Sets the current step number without running anything (a numbered step whose work
    // cannot fail, or that the caller guards itself).
    void begin(int number) { m_step = number; }

    // Reports a failure at the current step.
    void report(const QString& description);

    int current() const { return m_step; }
    const QString& context() const { return m_context; }
    UserInterface& ui() const { return m_ui; }

    // The description of a caught exception: a Failure's own text, what() of any other
    // standard exception.
    static QString describe(std::exception_ptr error);

private:
    void reportCurrent(std::exception_ptr error);

    UserInterface& m_ui;
    QString m_context;
    int m_step = 0;
};
