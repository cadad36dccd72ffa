#pragma once

#include "shell/UserInterface.h"

class QWidget;

// The least width of a box whose title bar shows its whole title: the title in the title-bar
// font, in bold as window managers draw it, and room for the bar's icon and its minimise,
// maximise and close buttons. Narrower, a window manager cuts the title to dots.
int titleBarWidth(const QString& title);

// The desktop's boxes: plain messages in a message box with the application title, one OK
// button and no icon; the "Application Error" message with its own title and the warning
// icon; input boxes with OK and Cancel. Each box is modal over the active window and at least
// as wide as its title bar needs (titleBarWidth). UI thread only.
class GuiUserInterface : public UserInterface {
public:
    void message(const QString& text) override;
    void applicationError(const QString& text) override;
    // The "Application Error" box with one more button, "List the rest at the end"; OK stays
    // the default button.
    bool rejectedRowError(const QString& text) override;
    QString inputText(const QString& prompt, const QString& defaultAnswer) override;
    bool endRequested() const override { return m_endRequested; }

    // The program is ending: work that lets events through stops when it next asks.
    void requestEnd() { m_endRequested = true; }

private:
    bool m_endRequested = false;
};
