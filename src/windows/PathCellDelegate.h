#pragma once

#include <QStyledItemDelegate>

// Draws a cell holding a path cut at its start when it is too long ("…/exports/orders.csv"),
// so that the file's name stays in sight when the folders are long. UI thread only.
class PathCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
