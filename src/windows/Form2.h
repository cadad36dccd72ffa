#pragma once

#include "import/ImportChoices.h"
#include "import/ImportRun.h"
#include "import/ProgressMeter.h"
#include "windows/FileListDesktop.h"
#include "windows/GrowingLayout.h"

#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QWidget>
#include <functional>
#include <memory>

class Form1;
class QButtonGroup;
class QCheckBox;
class QMimeData;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QThread;
class QTreeWidget;
class QTreeWidgetItem;
class RunReport;
class WindowImportFrontEnd;
class WindowPointer;
struct SettingKey;
struct WindowContext;

// The main window: the file list, the separator, the table options, the list of existing
// tables and the import. Loaded by the connection window, which it reads the connection
// settings from and hands back to with "Setup Connection". Closing it ends the program.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // The import engine the button runs; tests may put another in its place.
    using ImportEngine = std::function<ImportResult(const ImportChoices&, ImportFrontEnd&)>;

    Form2(WindowContext& context, Form1& connectionWindow);
    ~Form2() override;

    // The start-up steps. Safe to run again: the file list and the options stay, the separator
    // and the table-name template are reset and the table list is filled afresh.
    void Form_Load();
    void Option1_Click();
    void Option2_Click();
    void PushButton1_Click(); // "Import to PostgreSQL"
    void PushButton3_Click(); // "Add Text File(s)"
    void PushButton4_Click(); // "Add All File(s) In Folder"
    void PushButton5_Click(); // "Setup Connection"
    void PushButton6_Click(); // "?"
    // "Ignore first line in file because it is a header row with no data": stores the choice
    // at once.
    void Check2_Click();
    // "CSV quotes": stores the choice at once.
    void Check3_Click();
    // "Cancel", shown with the progress during a run: the run stops after the rows in flight.
    void PushButtonCancel_Click();

    // Appends an entry to the end of the file list.
    void addFileEntry(const QString& path);
    QStringList fileEntries() const;

    // The window's choices as an import run takes them.
    ImportChoices importChoices() const;

    bool importRunning() const { return m_worker != nullptr; }
    // How the last finished run ended.
    const ImportResult& lastImportResult() const { return m_lastResult; }
    void setImportEngine(ImportEngine engine) { m_engine = std::move(engine); }

    // The designed size, in twips, with the room the added append and create options take.
    // The bottom buttons stand as far above the bottom edge as the frames stand in from the
    // sides.
    static constexpr int AppendRows = 720;
    static constexpr int CreateRows = 360;
    static constexpr int DesignedWidth = 6360;
    static constexpr int DesignedHeight = 8200 + AppendRows + CreateRows;

    WindowPointer* pointer() const { return m_pointer; }

    // The file list's handlers. Positions are the list viewport's, in pixels. A press on an
    // entry is reported as ListView1_MouseDown and then ListView1_ItemClick.
    void ListView1_ItemClick(QTreeWidgetItem* item);
    void ListView1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);
    void ListView1_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift,
                             const QPoint& at);
    void ListView1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& at);
    // Whether the dragged data may be dropped on the list: local files and folders only.
    bool ListView1_OLEDragOver(const QMimeData* data) const;
    void ListView1_OLEDragDrop(const QMimeData* data);
    // Returns whether the key was taken (Delete, Space on a selected entry); the list handles
    // every other key itself.
    bool ListView1_KeyDown(int key, Qt::KeyboardModifiers shift);
    void ListView1_DblClick();
    // The list's context menu, at a viewport position: for the entry there when the mouse
    // asked for it, for the current entry when the keyboard did.
    void ListView1_ContextMenu(const QPoint& at, bool byMouse);

    // Opens the preview of a file (PreviewWindow) in a window of its own, or raises the one
    // already open for it.
    void previewFile(const QString& path);

    // Whether an entry is being dragged within the list (the list must not act on the moves).
    bool draggingFileEntry() const { return DragActive; }
    // The dialogs and the pointer position the file-list commands use.
    FileListDesktop& fileListDesktop() { return m_desktop; }

    QGroupBox* Frame1;
    QTreeWidget* ListView1;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QLabel* Label1;
    QLineEdit* Text3;
    QPushButton* PushButton6;
    // Reads fields in double quotes as CSV files have them. Not a designed control: it sits in
    // the free space of the first frame, so nothing designed moves.
    QCheckBox* Check3;
    QGroupBox* Frame2;
    QRadioButton* Option1;
    QGroupBox* Frame3;
    QRadioButton* Option3;
    QRadioButton* Option4;
    QLabel* Label5;
    QLineEdit* Text2;
    // A create option beyond the designed ones, below the table name: each new table's columns
    // get the types their values show.
    QCheckBox* Check5;
    QRadioButton* Option2;
    QGroupBox* Frame4;
    QCheckBox* Check2;
    QLabel* Label2;
    QListWidget* List1;
    // Append options beyond the designed ones, below the table list: fields matched to columns
    // by the first line's names, and the column that records each row's file.
    QCheckBox* Check4;
    QLabel* Label6;
    QLineEdit* Text4;
    QPushButton* PushButton1;
    QPushButton* PushButton5;
    // The progress row below the buttons: shown, and the window made taller by it, from the
    // run's first progress report to its end; hidden otherwise.
    QLabel* LabelProgress;
    QPushButton* PushButtonCancel;

signals:
    // The import started by the button has ended and the window is unlocked again.
    void importFinished();
    // The separator box, the quotes box or whether column types count changed: open previews
    // read their file again.
    void readingChanged();

protected:
    // Form_Unload: closing the window ends the program.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // UI thread, when the run's thread has ended: unlocks the window, and shows the run's
    // report when it left something out.
    void endImport();
    void showRunReport(std::shared_ptr<RunReport> report);
    // Writes a check box's choice to the store; a failure is reported under the handler's
    // context, once until a write succeeds.
    void storeChoice(const SettingKey& key, bool ticked, const QString& context);
    void storeText(const SettingKey& key, const QString& value, const QString& context);
    // UI thread: the run's busy pointer for a file's turn, on or off.
    void setImportBusy(bool busy);
    // The controls disabled for a run's length: those it reads and every other that greys with
    // them. Cancel and the progress text stay live.
    QList<QWidget*> lockedDuringImport() const;
    // The constructor's parts, in this order (Form2Controls.cpp): the controls as designed,
    // their option groups and starting states, their handlers, and the hidden progress row.
    void createFileFrame();
    void createTableFrames();
    void createCommandButtons();
    void groupOptions();
    void connectControls();
    void createProgressRow();
    // The append options below the table list, their stored states and handlers
    // (Form2AppendOptions.cpp).
    void createAppendColumnOptions();
    void appendColumnChoices(ImportChoices& choices) const;
    // The controls that the append option enables, in tab order.
    QList<QWidget*> appendControls() const;
    void Check4_Click();
    void Text4_Change();
    // The create options' type detection (Form2CreateOptions.cpp), and the controls that the
    // create option enables, in tab order.
    void createTypeOption();
    QList<QWidget*> createControls() const;
    void Check5_Click();
    void showProgressRow(bool shown);
    // How the controls follow the window's size (Form2Controls.cpp): recorded once the controls
    // stand at their designed places, applied on every resize.
    void growWithWindow();
    void followWindowSize();
    // The room beyond the designed window, the progress row's height left out while it shows.
    QSize extraRoom() const;
    // UI thread: a progress report of the run.
    void showProgress(const ImportProgress& progress);

    WindowContext& m_context;
    Form1& m_form1;
    // Option1/Option2 and Option3/Option4: each pair excludes only its own partner. Qt's
    // automatic exclusion would group every option button below Frame2, Frame3's included.
    QButtonGroup* m_tableOptions;
    QButtonGroup* m_columnOptions;
    bool m_storeFailing = false;
    WindowPointer* m_pointer;
    ImportEngine m_engine;
    QThread* m_worker = nullptr;
    std::unique_ptr<WindowImportFrontEnd> m_frontEnd;
    ImportResult m_result;     // written by the run's thread, read after it ended
    ImportResult m_lastResult; // of the last finished run
    QList<std::pair<QWidget*, bool>> m_lockedStates;
    int m_designedHeight = 0;
    GrowingLayout m_growing;
    int m_fileColumnExtra = 0; // the extra width the file list's column was last given
    ProgressMeter m_meter;
    QElapsedTimer m_runClock;
    bool m_cancelling = false;
    bool m_importHoldsPointer = false;

    // File list: dialogs, drops and reordering.
    void setUpFileList();
    void removeSelectedFileEntry();
    // Opens the selected entry's preview; false when no entry is selected.
    bool previewSelectedFileEntry();
    // The scroll rule after an exchange that moved the dragged text to `position` (0-based).
    void scrollAfterExchange(int position);

    FileListDesktop m_desktop;
    // The list's event filter. A member, not a child, so that it is gone before the QWidget
    // part of the window sends its last events to the list.
    std::unique_ptr<QObject> m_fileListEvents;
    bool DragActive = false;
    QPersistentModelIndex DragItem; // becomes empty when its entry is removed
    QPersistentModelIndex HoverItem;
};

// Puts a path in a file-list entry: its text, and its tool tip, which shows the path whole
// however the column cuts it.
void setEntryPath(QTreeWidgetItem* entry, const QString& path);

// The text of "?".
QString fileFormatHelpText();
