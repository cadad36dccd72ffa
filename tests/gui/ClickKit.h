#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QWidget>
#include <QWindow>

// Presses and releases the left button at a point of a control, sent to the control's window
// as the window system sends it: the window hands it to whatever widget lies at that point,
// and a disabled one drops it. The window must be shown.
inline void clickInWindow(QWidget* control, QPoint at, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, modifiers,
                      control->mapTo(window, at));
}

// The middle of a check box's or option button's square or round mark, or of its caption.
inline QPoint markOf(QAbstractButton* button, bool caption = false) {
    QStyleOptionButton option;
    option.initFrom(button);
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    const QStyle::SubElement element =
        radio ? (caption ? QStyle::SE_RadioButtonContents : QStyle::SE_RadioButtonIndicator)
              : (caption ? QStyle::SE_CheckBoxContents : QStyle::SE_CheckBoxIndicator);
    return button->style()->subElementRect(element, &option, button).center();
}

inline void clickMark(QAbstractButton* button, bool caption = false) {
    clickInWindow(button, markOf(button, caption));
}

// Puts the text into a field as a person does: a click into it, Ctrl+A, the text typed.
inline void typeInto(QLineEdit* field, const QString& text) {
    clickInWindow(field, field->rect().center());
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}
