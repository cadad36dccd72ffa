#include "windows/PreviewWindow.h"

#include "report/ShownText.h"
#include "shell/NumberText.h"
#include "widgets/WindowHelpers.h"
#include "windows/PreviewModel.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Columns measured to their contents when shown; later ones keep the default width.
constexpr int MeasuredColumns = 50;
constexpr int WidestColumn = 300;

// The window's text in the other windows' typeface, without their bold: easier on a grid.
QFont gridFont() {
    QFont font = designFont(9);
    font.setWeight(QFont::Normal);
    return font;
}

QLabel* textLine(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

} // namespace

QString encodingText(FilePreview::Encoding encoding) {
    switch (encoding) {
    case FilePreview::Encoding::Utf8:
        return QStringLiteral("Read as UTF-8");
    case FilePreview::Encoding::Windows1252:
        return QStringLiteral("Read as Windows-1252");
    case FilePreview::Encoding::Utf8WithWindows1252:
        return QStringLiteral("Read as UTF-8, with some lines as Windows-1252");
    case FilePreview::Encoding::Utf16LittleEndian:
        return QStringLiteral("Read as UTF-16 (little endian), by its byte-order mark");
    case FilePreview::Encoding::Utf16BigEndian:
        return QStringLiteral("Read as UTF-16 (big endian), by its byte-order mark");
    }
    return {};
}

PreviewWindow::PreviewWindow(QString path, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_path(std::move(path))
    , m_model(new PreviewModel(this)) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Preview - ") + QFileInfo(m_path).fileName());
    setWindowIcon(applicationIcon());
    setFont(designFont(9));
    createControls();
    ApplyButtonFaceColors(this);
    resize(820, 520);
}

void PreviewWindow::createControls() {
    m_encoding = textLine("encoding", this);
    m_findings = textLine("findings", this);
    m_extent = textLine("extent", this);
    m_extent->hide();

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setFont(gridFont());
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Nothing to act on in a preview: a selection would only hide the marks.
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setWordWrap(false);
    // One line per row: rows of one height need no measuring.
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->verticalHeader()->setHighlightSections(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_encoding);
    layout->addWidget(m_findings);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_extent);
}

void PreviewWindow::setReading(const QString& separator, FieldRule rule, bool withTypes) {
    m_separator = separator;
    m_withTypes = withTypes;
    showPreview(
        previewFile(m_path, separator, rule, PreviewModel::MostRecords, PreviewModel::MostBytes));
}

void PreviewWindow::showPreview(const FilePreview& preview) {
    m_model->show(preview, m_withTypes);
    const bool read = preview.failure.isEmpty() && preview.regular && !preview.noLines;
    QString encoding = read ? encodingText(preview.encoding) : QString();
    if (read && !preview.note.isEmpty())
        encoding += QLatin1Char('\n') + preview.note;
    m_encoding->setText(encoding);
    m_encoding->setVisible(read);
    m_findings->setText(findings(preview));
    m_grid->setVisible(read);
    const QString reach = read ? extent(preview) : QString();
    m_extent->setText(reach);
    m_extent->setVisible(!reach.isEmpty());
    sizeColumns();
}

QString PreviewWindow::findings(const FilePreview& preview) const {
    if (!preview.failure.isEmpty())
        return preview.failure;
    if (!preview.regular)
        return QStringLiteral("Only regular files are previewed. This is a named pipe or a "
                              "device, which can be read only once: when it is imported.");
    if (preview.noLines)
        return QStringLiteral("The file is empty: it gives no columns and is passed over when "
                              "imported.");
    if (preview.firstLineEmpty)
        return QStringLiteral("The first line is empty: the file gives no columns and is passed "
                              "over when imported.");
    QStringList sentences;
    const QString counts = countFindings();
    if (!counts.isEmpty())
        sentences << counts;
    // Reading ends after a malformed record, as the import does.
    const bool fileGoesOn = preview.end == FilePreview::End::ByteLimit;
    if (!preview.records.isEmpty() && preview.records.last().problem != Record::Problem::None)
        sentences << previewProblem(preview.records.last(), fileGoesOn);
    const QList<PreviewRecord>& rows = m_model->rows();
    for (int row = 0; row < rows.size(); ++row) {
        if (!m_model->isMarked(row))
            continue;
        // A quote left open where reading stops may close in the part not read.
        if (rows[row].problem != Record::Problem::UnclosedQuote || !fileGoesOn)
            sentences << QStringLiteral("The field-count check would end the import at line %1.")
                             .arg(rows[row].line + 1);
        break;
    }
    return sentences.join(QLatin1Char(' '));
}

// What the rows' field counts show beside the first line's, when there is a first line.
QString PreviewWindow::countFindings() const {
    const qsizetype expected = m_model->expectedCount();
    const QList<PreviewRecord>& rows = m_model->rows();
    if (expected < 0)
        return {};
    if (rows.isEmpty())
        return QStringLiteral("The first line has %1; no other record follows it.")
            .arg(fieldsText(expected));
    qsizetype differing = 0;
    bool malformed = false;
    for (int row = 0; row < rows.size(); ++row) {
        malformed = malformed || rows[row].problem != Record::Problem::None;
        differing += rows[row].problem == Record::Problem::None && m_model->isMarked(row);
    }
    if (differing == 1)
        return QStringLiteral("1 record below has another number of fields than the first "
                              "line and is marked.");
    if (differing > 1)
        return QStringLiteral("%1 records below have another number of fields than the first "
                              "line and are marked.")
            .arg(groupedCount(differing));
    if (malformed)
        return {};
    if (expected == 1)
        return QStringLiteral("No line holds the separator \"%1\", so no row would be sent.")
            .arg(shownText(m_separator, 40));
    return QStringLiteral("Every record below has the first line's %1.").arg(fieldsText(expected));
}

QString PreviewWindow::extent(const FilePreview& preview) const {
    QString text;
    if (preview.end == FilePreview::End::RecordLimit)
        text = QStringLiteral("The first %1 records are shown.")
                   .arg(groupedCount(PreviewModel::MostRecords));
    else if (preview.end == FilePreview::End::ByteLimit)
        text = QStringLiteral("The first %1 are shown.").arg(previewBytesText());
    if (m_model->fieldsLeftOut())
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) +
                QStringLiteral("The first %1 fields of each record are shown.")
                    .arg(groupedCount(PreviewModel::MostFields));
    if (m_withTypes && preview.end != FilePreview::End::WholeFile)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) +
                QStringLiteral("Column types are those of the records shown; an import decides "
                               "them over every line.");
    return text;
}

void PreviewWindow::sizeColumns() {
    const int measured = std::min(m_model->columnCount(), MeasuredColumns);
    for (int column = 0; column < measured; ++column) {
        m_grid->resizeColumnToContents(column);
        if (m_grid->columnWidth(column) > WidestColumn)
            m_grid->setColumnWidth(column, WidestColumn);
    }
}
