#include "windows/PreviewModel.h"

#include "report/ShownText.h"
#include "shell/NumberText.h"
#include "textfile/FieldCountCheck.h"

#include <algorithm>

namespace {

// The characters of a column name shown in the header at most.
constexpr qsizetype ShownNameCharacters = 60;

} // namespace

QString fieldsText(qsizetype count) {
    return count == 1 ? QStringLiteral("1 field")
                      : QStringLiteral("%1 fields").arg(groupedCount(count));
}

QString previewBytesText() {
    return QStringLiteral("%1 MiB").arg(PreviewModel::MostBytes >> 20);
}

QString previewProblem(const PreviewRecord& record, bool fileGoesOn) {
    if (record.problem == Record::Problem::UnclosedQuote && fileGoesOn)
        return QStringLiteral("The quote opened in line %1 is not closed within the first %2.")
            .arg(record.problemLine + 1)
            .arg(previewBytesText());
    FieldCountReport report;
    report.problem = record.problem;
    report.problemLine = record.problemLine;
    return report.why(1);
}

QColor markedRowColor() {
    return QColor(0xFF, 0xD6, 0xCC);
}

PreviewModel::PreviewModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void PreviewModel::show(const FilePreview& preview, bool withTypes) {
    beginResetModel();
    m_rows = preview.records;
    m_names.clear();
    m_types = withTypes ? preview.types : QStringList();
    m_expected = -1;
    // A first record that can't name the columns is a row like the others.
    if (!preview.firstLineEmpty && !m_rows.isEmpty() &&
        m_rows.first().problem == Record::Problem::None) {
        m_names = m_rows.takeFirst().values;
        m_expected = m_names.size();
    }
    m_widest = m_names.size();
    for (const PreviewRecord& row : std::as_const(m_rows))
        m_widest = std::max(m_widest, row.fieldCount);
    m_fileGoesOn = preview.end == FilePreview::End::ByteLimit;
    endResetModel();
}

bool PreviewModel::isMarked(int row) const {
    const PreviewRecord& record = m_rows.at(row);
    return record.problem != Record::Problem::None ||
           (m_expected >= 0 && record.fieldCount != m_expected);
}

QString PreviewModel::markReason(int row) const {
    const PreviewRecord& record = m_rows.at(row);
    if (record.problem != Record::Problem::None)
        return previewProblem(record, m_fileGoesOn);
    if (!isMarked(row))
        return {};
    return QStringLiteral("This record has %1; the first line has %2.")
        .arg(fieldsText(record.fieldCount), fieldsText(m_expected));
}

int PreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return 1 + static_cast<int>(std::min<qsizetype>(m_widest, MostFields));
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PreviewRecord& record = m_rows.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == CountColumn)
            return groupedCount(record.fieldCount);
        if (column - 1 < record.values.size())
            return shownText(record.values.at(column - 1), ShownCharacters);
        return {};
    case Qt::BackgroundRole:
        return isMarked(index.row()) ? QVariant(markedRowColor()) : QVariant();
    case Qt::ForegroundRole:
        // Dark on the light mark, whatever the palette's text colour.
        return isMarked(index.row()) ? QVariant(QColor(Qt::black)) : QVariant();
    case Qt::ToolTipRole:
        return isMarked(index.row()) ? QVariant(markReason(index.row())) : QVariant();
    case Qt::TextAlignmentRole:
        if (column == CountColumn)
            return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical) {
        // The record's first line, counted as an editor counts.
        if (section < 0 || section >= rowCount() || role != Qt::DisplayRole)
            return {};
        return QString::number(m_rows.at(section).line + 1);
    }
    if (section == CountColumn)
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("Fields")) : QVariant();
    if (section - 1 < m_names.size()) {
        const QString& name = m_names.at(section - 1);
        const QString type = m_types.value(section - 1);
        if (type.isEmpty())
            return role == Qt::DisplayRole ? shownText(name, ShownNameCharacters) : name;
        return role == Qt::DisplayRole
                   ? shownText(name, ShownNameCharacters) + QLatin1Char('\n') + type
                   : name + QStringLiteral(" (") + type + QLatin1Char(')');
    }
    return role == Qt::DisplayRole ? QVariant(QStringLiteral("Field %1").arg(section)) : QVariant();
}
