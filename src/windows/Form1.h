#pragma once

#include "database/ConnectionSettings.h"

#include <QWidget>
#include <memory>

class Form2;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WindowPointer;
struct SettingKey;
struct WindowContext;

// The connection window and the program's start-up. Its five fields are the live connection
// settings: every connection the program opens is built from them as they stand, and every
// change of a field reaches the settings store at once. It owns the main window, which it
// loads on first use; only one of the two is visible at a time. Closing it ends the program.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(WindowContext& context);
    ~Form1() override;

    // Runs the start-up sequence and then shows this window, centred on the screen, unless the
    // stored connection worked and the main window took its place.
    void start();

    void Form_Load();
    void PushButton1_Click(); // "Help"
    void PushButton3_Click(); // "Next >"
    void PushButton5_Click(); // "Test Connection"

    ConnectionSettings connectionSettings() const;

    // The main window, loaded (and set up by its start-up steps) on first use.
    Form2& mainWindow();
    bool mainWindowLoaded() const { return m_form2 != nullptr; }

    WindowPointer* pointer() const { return m_pointer; }

    QGroupBox* Frame1;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QPushButton* PushButton5;
    QPushButton* PushButton1;
    QPushButton* PushButton3;

protected:
    // Form_Unload: closing the window ends the program.
    void closeEvent(QCloseEvent* event) override;
    // A field receiving the focus selects its whole text.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* addField(const char* name, const SettingKey& key, int left, int top, int width);
    void addLabel(const QString& caption, int left, int top, int width);
    QPushButton* addButton(QWidget* parent, const char* name, const QString& caption, int left,
                           int top, int width, int height);
    void showMainWindow();

    WindowContext& m_context;
    WindowPointer* m_pointer;
    std::unique_ptr<Form2> m_form2;
    bool m_handedOver = false; // start-up hid this window in favour of the main window
    bool m_storeFailing = false;
    bool m_placed = false;
};

// The text of "Help".
QString connectionHelpText();
