#pragma once

#include "shell/UserInterface.h"

#include <QStringList>
#include <functional>

// Records every message and answers input boxes from a queue (the empty text, as Cancel,
// once the queue is empty).
class RecordingUserInterface : public UserInterface {
public:
    void message(const QString& text) override {
        if (onBox)
            onBox(text, false);
        messages.append(text);
    }
    void applicationError(const QString& text) override {
        if (onBox)
            onBox(text, true);
        errors.append(text);
    }
    // Recorded as an "Application Error" too; answered by showRejectedRows (a real box) when
    // set, otherwise by listRestAnswer.
    bool rejectedRowError(const QString& text) override {
        if (onBox)
            onBox(text, true);
        errors.append(text);
        ++rejectedRowBoxes;
        return showRejectedRows ? showRejectedRows->rejectedRowError(text) : listRestAnswer;
    }
    QString inputText(const QString& prompt, const QString& defaultAnswer) override {
        prompts.append(prompt);
        defaults.append(defaultAnswer);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    bool endRequested() const override { return ending; }

    QStringList messages;
    QStringList errors;
    QStringList prompts;
    QStringList defaults;
    QStringList answers;
    bool ending = false; // what endRequested() answers
    int rejectedRowBoxes = 0;
    bool listRestAnswer = false;
    UserInterface* showRejectedRows = nullptr;
    // Called with each message and "Application Error" text before it is recorded, so that a
    // test can note what the windows showed at that moment.
    std::function<void(const QString& text, bool error)> onBox;
};
