#pragma once

#include "windows/GrowingLayout.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class UserInterface;
class WindowPointer;

// The results window "Lines": shows the field-count report in Text1 and closes with "Close".
// Each report gets a fresh window, shown modally by showLinesReport().
class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(UserInterface& ui, QWidget* parent = nullptr);

    // Colours, icon and hand cursor. Failures are reported as "Application Error" messages.
    void Form_Load();
    void PushButton5_Click();

    QPlainTextEdit* Text1;
    QPushButton* PushButton5;
    WindowPointer* pointer() const { return m_pointer; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    UserInterface& m_ui;
    GrowingLayout m_growing;
    WindowPointer* m_pointer;
};

// Loads a fresh results window with the report and shows it modally over the parent; returns
// once the user has closed it.
void showLinesReport(UserInterface& ui, const QString& report, QWidget* parent);
