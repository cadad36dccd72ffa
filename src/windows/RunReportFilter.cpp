#include "windows/RunReportFilter.h"

#include "windows/RunReportModel.h"

RunReportFilter::RunReportFilter(QObject* parent)
    : QSortFilterProxyModel(parent) {
    setSortRole(RunReportModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void RunReportFilter::search(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    invalidate();
}

bool RunReportFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (m_text.isEmpty())
        return true;
    const QAbstractItemModel* model = sourceModel();
    for (int column = 0; column < model->columnCount(sourceParent); ++column) {
        if (model->index(sourceRow, column, sourceParent)
                .data()
                .toString()
                .contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
