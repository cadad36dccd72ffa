#include "windows/RunReportModel.h"

#include <QStringList>
#include <algorithm>

namespace {

const QStringList Headers{QStringLiteral("File"), QStringLiteral("Line"),
                          QStringLiteral("What happened"), QStringLiteral("Text")};

bool breaksLine(QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
}

} // namespace

QString oneLine(const QString& text) {
    if (std::none_of(text.begin(), text.end(), breaksLine))
        return text;
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!breaksLine(text[i]))
            line += text[i];
        else if (!(text[i] == QLatin1Char('\r') && i + 1 < text.size() &&
                   text[i + 1] == QLatin1Char('\n')))
            line += QLatin1Char(' ');
    }
    return line;
}

RunReportModel::RunReportModel(std::vector<ReportEvent> events, QFont textFont, QObject* parent)
    : QAbstractTableModel(parent)
    , m_events(std::move(events))
    , m_textFont(std::move(textFont)) {
    // A file's events follow one another: they share one copy of its path.
    for (std::size_t k = 1; k < m_events.size(); ++k) {
        if (m_events[k].path == m_events[k - 1].path)
            m_events[k].path = m_events[k - 1].path;
    }
}

int RunReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_events.size());
}

int RunReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunReportModel::shown(const ReportEvent& event, int column) const {
    switch (column) {
    case FileColumn:
        return event.path;
    case LineColumn:
        return event.line > 0 ? QString::number(event.line) : QString();
    case WhatColumn:
        return oneLine(event.what);
    case TextColumn:
        return event.text;
    default:
        return {};
    }
}

QVariant RunReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ReportEvent& event = m_events[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return shown(event, column);
    case SortRole:
        return column == LineColumn ? QVariant(event.line) : shown(event, column);
    case Qt::ToolTipRole:
        if (column == FileColumn)
            return event.path;
        if (column == WhatColumn)
            return event.what;
        if (column == TextColumn && !event.text.isEmpty())
            return event.text;
        return {};
    case Qt::TextAlignmentRole:
        if (column == LineColumn)
            return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::FontRole:
        return column == TextColumn ? QVariant(m_textFont) : QVariant();
    default:
        return {};
    }
}

QVariant RunReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < Headers.size())
        return Headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
