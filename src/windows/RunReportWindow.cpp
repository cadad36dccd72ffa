#include "windows/RunReportWindow.h"

#include "report/RunReport.h"
#include "shell/Failure.h"
#include "shell/NumberText.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/UserInterface.h"
#include "widgets/BrowseForFolder.h"
#include "widgets/WindowHelpers.h"
#include "widgets/WindowPointer.h"
#include "windows/PathCellDelegate.h"
#include "windows/RunReportFilter.h"
#include "windows/RunReportModel.h"

#include <QClipboard>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString SaveCaption = QStringLiteral("Save Rejected Lines\u2026");

// The window's text in the other windows' typeface, without their bold: easier on long lists.
QFont listFont() {
    QFont font = designFont(9);
    font.setWeight(QFont::Normal);
    return font;
}

// The Text column's font: fixed pitch, the size of the list's.
QFont recordFont(const QFont& listFont) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(listFont.pointSizeF());
    return font;
}

QPushButton* commandButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

RunReportWindow::RunReportWindow(std::shared_ptr<RunReport> report, UserInterface& ui,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_report(std::move(report))
    , m_ui(ui)
    , m_pointer(new WindowPointer(this)) {
    setObjectName(QStringLiteral("RunReportWindow"));
    setWindowTitle(QStringLiteral("Import Report"));
    setWindowIcon(applicationIcon());
    setFont(designFont(9));
    createControls();
    arrangeControls();
    setUpTable();
    loadEvents();
    ApplyButtonFaceColors(this);

    const QString cursor = platform::fileBesideProgram(QStringLiteral("HAND-M.CUR"));
    if (PathExists(cursor))
        m_pointer->loadHandCursor(cursor);
    m_pointer->watchButtons({m_copy, m_save, m_close});
    m_pointer->watchSurfaces({this, m_table});
    resize(900, 500);
    m_table->setFocus();
}

RunReportWindow::~RunReportWindow() = default;

void RunReportWindow::createControls() {
    m_summary = new QLabel(m_report->summary(), this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    m_limitNote = new QLabel(this);
    m_limitNote->setObjectName(QStringLiteral("limitNote"));
    m_limitNote->setTextFormat(Qt::PlainText);
    m_limitNote->setWordWrap(true);
    m_limitNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_limitNote->hide();

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setClearButtonEnabled(true);
    m_search->setFont(listFont());

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("events"));
    m_table->setFont(listFont());
    m_table->installEventFilter(this);

    m_copy = commandButton(QStringLiteral("Copy"), "copy", this);
    m_copy->setToolTip(QStringLiteral("Copies the selected rows, or all rows shown, as "
                                      "tab-separated text."));
    m_save = commandButton(SaveCaption, "saveRejected", this);
    m_save->setToolTip(QStringLiteral("Writes each file's first line and rejected lines, and "
                                      "the reasons, into a folder."));
    m_save->setEnabled(!m_report->rejectedFiles().isEmpty());
    m_close = commandButton(QStringLiteral("Close"), "close", this);
    connect(m_copy, &QPushButton::clicked, this, &RunReportWindow::copyRows);
    connect(m_save, &QPushButton::clicked, this, &RunReportWindow::saveRejectedLines);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
}

void RunReportWindow::arrangeControls() {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_copy);
    buttons->addWidget(m_save);
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_limitNote);
    layout->addWidget(m_search);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
}

void RunReportWindow::setUpTable() {
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->setItemDelegateForColumn(RunReportModel::FileColumn, new PathCellDelegate(m_table));
    // One line per row: rows of one height need no measuring, however many there are.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    // The run's order until a header is clicked; a third click on it gives that order back.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorClearable(true);
}

void RunReportWindow::loadEvents() {
    std::vector<ReportEvent> events;
    try {
        events = m_report->events(MostEvents);
    } catch (const Failure& failure) {
        m_ui.applicationError(failure.description());
    }
    if (m_report->eventCount() > MostEvents) {
        m_limitNote->setText(
            QStringLiteral("The first %1 of %2 events are listed; %3 writes "
                           "every rejected line.")
                .arg(groupedCount(MostEvents), groupedCount(m_report->eventCount()), SaveCaption));
        m_limitNote->show();
    }

    m_shown = new RunReportFilter(this);
    m_shown->setSourceModel(
        new RunReportModel(std::move(events), recordFont(m_table->font()), m_shown));
    m_table->setModel(m_shown);
    m_table->setSortingEnabled(true);
    connect(m_search, &QLineEdit::textChanged, m_shown, &RunReportFilter::search);

    const QFontMetrics metrics = m_table->fontMetrics();
    m_table->setColumnWidth(RunReportModel::FileColumn, 210);
    m_table->setColumnWidth(RunReportModel::LineColumn,
                            metrics.horizontalAdvance(QStringLiteral("99999999")));
    m_table->setColumnWidth(RunReportModel::WhatColumn, 300);
}

void RunReportWindow::copyRows() {
    QList<int> rows;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    for (const QModelIndex& index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        for (int row = 0; row < m_shown->rowCount(); ++row)
            rows.append(row);
    }
    if (rows.isEmpty())
        return;
    QString text;
    for (int row : rows) {
        for (int column = 0; column < RunReportModel::ColumnCount; ++column) {
            if (column > 0)
                text += QLatin1Char('\t');
            // A path may hold a tab or a line break too; the row stays one line.
            text += oneLine(m_shown->index(row, column).data().toString());
        }
        text += QLatin1Char('\n');
    }
    QGuiApplication::clipboard()->setText(text);
}

void RunReportWindow::saveRejectedLines() {
    const QList<RunReport::RejectedFile> files = m_report->rejectedFiles();
    if (files.isEmpty())
        return;
    const QString start =
        m_lastFolder.isEmpty() ? QFileInfo(files.first().path).absolutePath() : m_lastFolder;
    const QString folder = BrowseForFolder(this, QStringLiteral("Save Rejected Lines"), start);
    if (folder.isEmpty())
        return;
    m_lastFolder = folder;
    QStringList written;
    m_pointer->holdBusy();
    try {
        written = m_report->saveRejectedInto(folder);
    } catch (const Failure& failure) {
        m_pointer->releaseBusy();
        m_ui.applicationError(failure.description());
        return;
    }
    m_pointer->releaseBusy();
    QStringList names;
    for (const QString& path : written)
        names << QFileInfo(path).fileName();
    m_ui.message(
        QStringLiteral("Saved %1 file(s) in %2:\r\n%3")
            .arg(groupedCount(written.size()), folder, names.join(QStringLiteral("\r\n"))));
}

bool RunReportWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copyRows();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
