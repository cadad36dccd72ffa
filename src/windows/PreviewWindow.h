#pragma once

#include "textfile/FieldRule.h"
#include "textfile/FilePreview.h"

#include <QString>
#include <QWidget>

class PreviewModel;
class QLabel;
class QTableView;

// "Preview - NAME": how a file will be cut, before it is imported. Reads the start of the file
// (PreviewModel::MostRecords records, PreviewModel::MostBytes bytes at most) with the import's
// own reader and shows the records in a grid under the first line's names, each record's field
// count beside it, the records the field-count check would report marked, and above the grid
// how the file's text is read and what the check would find. A top-level window that blocks no
// other; whoever shows it decides whether closing deletes it. UI thread only.
class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWindow(QString path, QWidget* parent = nullptr);

    const QString& path() const { return m_path; }

    // Reads the file again, cut by the rule at the separator, and shows it. Reads in the UI
    // thread: the bounds above keep it short, and a pipe or device is not read at all. With
    // types, each column's name stands over the type the records shown would give it.
    void setReading(const QString& separator, FieldRule rule, bool withTypes = false);

    QLabel* encodingLine() const { return m_encoding; }
    // What the field-count check would find, or why nothing is shown.
    QLabel* findingsLine() const { return m_findings; }
    // Says where the preview stops before the end of the file; hidden when it does not.
    QLabel* extentLine() const { return m_extent; }
    QTableView* grid() const { return m_grid; }
    PreviewModel* model() const { return m_model; }

private:
    void createControls();
    void showPreview(const FilePreview& preview);
    QString findings(const FilePreview& preview) const;
    QString countFindings() const;
    QString extent(const FilePreview& preview) const;
    void sizeColumns();

    QString m_path;
    QString m_separator;
    bool m_withTypes = false;
    PreviewModel* m_model = nullptr;
    QLabel* m_encoding = nullptr;
    QLabel* m_findings = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_extent = nullptr;
};

// "Read as UTF-8" and the like: how the lines of the preview became text.
QString encodingText(FilePreview::Encoding encoding);
