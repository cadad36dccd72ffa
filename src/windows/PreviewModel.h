#pragma once

#include "textfile/FilePreview.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QStringList>

// A file's preview as a table: a column with each record's field count, then its values, under
// the first record's values as column names; one row per record after the first. A record
// whose field count differs from the first record's, or that is malformed, is marked. Holds a
// copy of what it shows. UI thread only.
class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // How far a preview reads: records (the first included) and bytes of the file.
    static constexpr qsizetype MostRecords = 200;
    static constexpr qint64 MostBytes = 4 << 20;
    static constexpr int CountColumn = 0;
    // The fields of a record shown at most; a line can hold millions of separators.
    static constexpr int MostFields = 1000;
    // The characters of a value shown at most; the rest is marked by an ellipsis.
    static constexpr qsizetype ShownCharacters = 300;

    explicit PreviewModel(QObject* parent = nullptr);

    // Shows another preview in place of the one shown; withTypes, each column's name over the
    // type it would get (FilePreview::types).
    void show(const FilePreview& preview, bool withTypes = false);

    // The first record's field count, or -1 when the file has no first record to name columns
    // (an empty first line, a malformed first record).
    qsizetype expectedCount() const { return m_expected; }
    const QList<PreviewRecord>& rows() const { return m_rows; }
    bool isMarked(int row) const;
    // Why a row is marked, in a sentence; empty when it is not.
    QString markReason(int row) const;
    // Whether some record has more fields than the columns show.
    bool fieldsLeftOut() const { return m_widest > MostFields; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList m_names; // the first record's values
    QStringList m_types; // the type of each named column, when shown
    qsizetype m_expected = -1;
    QList<PreviewRecord> m_rows;
    qsizetype m_widest = 0; // the most fields of a record, the first included
    bool m_fileGoesOn = false;
};

// Why a malformed record ends where it does, its lines counted from 1. A quote left open where
// the preview stops reading (fileGoesOn) may still close in the part of the file not read.
QString previewProblem(const PreviewRecord& record, bool fileGoesOn);

// "1 field", "4 fields".
QString fieldsText(qsizetype count);

// "4 MiB": how much of a file a preview reads at most.
QString previewBytesText();

// The background of a marked row.
QColor markedRowColor();
