#pragma once

#include "report/ReportEvent.h"

#include <QAbstractTableModel>
#include <QFont>
#include <vector>

// The events of a run's report as a table of four columns (File, Line, What happened, Text),
// one row per event in the order given. It owns the events and never changes them. UI thread
// only.
class RunReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileColumn, LineColumn, WhatColumn, TextColumn, ColumnCount };

    // What a proxy sorts by: the line as a number (0 for the file as a whole), the other
    // columns as their shown text.
    static constexpr int SortRole = Qt::UserRole;

    // textFont: the font of the Text column, whose records read best in a fixed pitch.
    RunReportModel(std::vector<ReportEvent> events, QFont textFont, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVariant shown(const ReportEvent& event, int column) const;

    std::vector<ReportEvent> m_events;
    QFont m_textFont;
};

// The text on one line: each line break (CR LF, CR or LF) and each tab becomes one space. The
// text itself, shared, when it holds none.
QString oneLine(const QString& text);
