#pragma once

#include <QSortFilterProxyModel>

// The report's rows as the window shows them: those holding the searched text in any column,
// whatever its case, sorted as the user asks (RunReportModel::SortRole), stable, so that equal
// rows keep the run's order. UI thread only.
class RunReportFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit RunReportFilter(QObject* parent = nullptr);

    // Shows the rows holding `text`; every row for the empty text. The rows are filtered anew
    // as a whole: a view takes one change of layout rather than a removal per range of rows,
    // which keeps typing quick over tens of thousands of them.
    void search(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_text;
};
