#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class RunReport;
class RunReportFilter;
class UserInterface;
class WindowPointer;

// The report of an import run, "Import Report": its summary, a searchable and sortable table of
// what was rejected, not sent, passed over or failed, and the rejected lines saved into a
// folder of the user's choice. A top-level window that blocks no other; it shares the report
// with whoever made it and reads it only. Whoever shows it decides whether closing deletes it.
// Failures of the report's files are shown as "Application Error" messages through `ui`,
// which must outlive the window. UI thread only.
class RunReportWindow : public QWidget {
    Q_OBJECT
public:
    // The events the window loads at most, whatever the report holds: the table keeps each in
    // memory, while the report keeps them on disk.
    static constexpr qsizetype MostEvents = 50000;

    RunReportWindow(std::shared_ptr<RunReport> report, UserInterface& ui,
                    QWidget* parent = nullptr);
    ~RunReportWindow() override;

    // "Copy" and Ctrl+C in the table: the selected rows, or every row shown when none is
    // selected, as tab-separated text in the order shown, one line per row, to the clipboard.
    void copyRows();
    // "Save Rejected Lines…": asks for a folder and writes every rejected file's pair there.
    void saveRejectedLines();

    QLabel* summary() const { return m_summary; }
    // Says how many events the table leaves out; hidden when it holds them all.
    QLabel* limitNote() const { return m_limitNote; }
    QLineEdit* searchField() const { return m_search; }
    QTableView* table() const { return m_table; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* closeButton() const { return m_close; }
    WindowPointer* pointer() const { return m_pointer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void arrangeControls();
    void setUpTable();
    void loadEvents();

    std::shared_ptr<RunReport> m_report;
    UserInterface& m_ui;
    QString m_lastFolder; // the folder last chosen for the rejected lines
    QLabel* m_summary = nullptr;
    QLabel* m_limitNote = nullptr;
    QLineEdit* m_search = nullptr;
    QTableView* m_table = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_close = nullptr;
    WindowPointer* m_pointer = nullptr;
    RunReportFilter* m_shown = nullptr;
};
