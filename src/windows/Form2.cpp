#include "windows/Form2.h"

#include "database/PostgreSQL.h"
#include "report/RunReport.h"
#include "shell/AppTitle.h"
#include "shell/ApplicationError.h"
#include "shell/Failure.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/SeparatorText.h"
#include "shell/Settings.h"
#include "shell/StepRunner.h"
#include "shell/UserInterface.h"
#include "widgets/WindowContext.h"
#include "widgets/WindowHelpers.h"
#include "widgets/WindowPlace.h"
#include "widgets/WindowPointer.h"
#include "windows/Form1.h"
#include "windows/ListBoxTableList.h"
#include "windows/RunReportWindow.h"
#include "windows/WindowImportFrontEnd.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTreeWidget>

namespace {

const QString ImportContext = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton1_Click ");

} // namespace

QString fileFormatHelpText() {
    return QStringList{
        QStringLiteral("Text files should look like this:"),
        QString(),
        QStringLiteral("Name,State"),
        QStringLiteral("Peter,NH"),
        QStringLiteral("Jane,MA"),
        QString(),
        QStringLiteral("Also, if appending, make sure the number of columns in the text file "
                       "match the number of columns in the table."),
        QString(),
        QStringLiteral("When appending, number of columns and data types (number, decimal, "
                       "text, etc.) must be identical."),
    }
        .join(QStringLiteral("\r\n"));
}

Form2::Form2(WindowContext& context, Form1& connectionWindow)
    : QWidget(nullptr)
    , m_context(context)
    , m_form1(connectionWindow)
    , m_pointer(new WindowPointer(this))
    , m_engine(runImport) {
    setObjectName(QStringLiteral("Form2"));
    // Shown and hidden in turn with the other window: it reappears where the user left it.
    new WindowPlace(this);
    // Opens at its designed size, which is also its least; the lists take any room beyond it.
    resize(twips(DesignedWidth), twips(DesignedHeight));
    setMinimumSize(size());
    setFont(designFont(9));

    createFileFrame();
    createTableFrames();
    createCommandButtons();
    groupOptions();
    connectControls();

    m_pointer->watchButtons({PushButton1, PushButton3, PushButton4, PushButton5, PushButton6});
    m_pointer->watchSurfaces(
        {this, Frame1, Frame2, Frame3, Frame4, Label1, List1, Text3, ListView1});
    createProgressRow();
    growWithWindow();
    setUpFileList();
}

Form2::~Form2() {
    if (!m_worker)
        return;
    // The program is ending during a run: the run is asked to stop, its questions are answered
    // at once, and the window waits for its thread before anything the run uses goes away.
    m_frontEnd->stop();
    disconnect(m_worker, nullptr, this, nullptr);
    while (!m_worker->wait(10))
        QCoreApplication::sendPostedEvents(m_frontEnd->receiver());
    delete m_worker;
}

void Form2::Form_Load() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form2.Form_Load "));
    run.step(100, [&] { ApplyButtonFaceColors(this); });
    run.step(102, [&] { setWindowIcon(applicationIcon()); });
    run.step(104, [&] { Text2->setText(QStringLiteral("NewTable[counter]")); });
    run.step(106, [&] { Text3->setText(QStringLiteral(",")); });
    const QString cursor = platform::fileBesideProgram(QStringLiteral("HAND-M.CUR"));
    if (run.test(108, [&] { return PathExists(cursor); }))
        run.step(110, [&] { m_pointer->loadHandCursor(cursor); });
    run.step(112, [&] { setWindowTitle(QString::fromLatin1(ProductName)); });
    run.step(114, [&] { List1->clear(); });
    run.step(116, [&] {
        ListBoxTableList tables(*List1);
        ListDatabaseTables(m_form1.connectionSettings(), tables);
    });
    if (run.test(118, [&] { return ListView1->columnCount() == 0; }))
        run.step(120, [&] { ListView1->setHeaderLabels({QStringLiteral("Text Files")}); });
    run.step(122, [&] { ListView1->setColumnWidth(0, twips(5000) + m_fileColumnExtra); });
}

void Form2::Option1_Click() {
    if (!Option1->isChecked())
        return;
    for (QWidget* control : createControls())
        control->setEnabled(true);
    for (QWidget* control : appendControls())
        control->setEnabled(false);
}

void Form2::Option2_Click() {
    if (!Option2->isChecked())
        return;
    for (QWidget* control : createControls())
        control->setEnabled(false);
    for (QWidget* control : appendControls())
        control->setEnabled(true);
}

void Form2::PushButton5_Click() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton5_Click "));
    run.step(100, [&] { m_form1.show(); });
    run.step(102, [&] { hide(); });
}

void Form2::PushButton6_Click() {
    StepRunner run(m_context.ui, QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton6_Click "));
    run.step(100, [&] { m_context.ui.message(fileFormatHelpText()); });
    run.begin(114);
}

void Form2::Check2_Click() {
    storeChoice(SettingKeys::IgnoreFirstLine, Check2->isChecked(),
                QStringLiteral("in Quenmarl2021/08/31.Form2.Check2_Click "));
}

void Form2::Check3_Click() {
    storeChoice(SettingKeys::QuotedFields, Check3->isChecked(),
                QStringLiteral("in Quenmarl2021/08/31.Form2.Check3_Click "));
}

void Form2::storeChoice(const SettingKey& key, bool ticked, const QString& context) {
    storeText(key, ticked ? QStringLiteral("1") : QStringLiteral("0"), context);
}

void Form2::storeText(const SettingKey& key, const QString& value, const QString& context) {
    // A store that can't be written is told once, not on every click, until a write succeeds.
    try {
        WriteSetting(key, value);
        m_storeFailing = false;
    } catch (const Failure& failure) {
        if (!m_storeFailing) {
            m_storeFailing = true;
            ReportApplicationError(m_context.ui, context, 100, failure.description());
        }
    }
}

void Form2::addFileEntry(const QString& path) {
    auto* entry = new QTreeWidgetItem;
    setEntryPath(entry, path);
    ListView1->addTopLevelItem(entry);
}

QStringList Form2::fileEntries() const {
    QStringList entries;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
        entries.append(ListView1->topLevelItem(i)->text(0));
    return entries;
}

ImportChoices Form2::importChoices() const {
    ImportChoices choices;
    choices.files = fileEntries();
    choices.mode = Option1->isChecked()   ? ImportChoices::TableMode::Create
                   : Option2->isChecked() ? ImportChoices::TableMode::Append
                                          : ImportChoices::TableMode::None;
    choices.names = Option3->isChecked()   ? ImportChoices::ColumnNames::FirstLine
                    : Option4->isChecked() ? ImportChoices::ColumnNames::Typed
                                           : ImportChoices::ColumnNames::None;
    choices.tableTemplate = Text2->text();
    choices.separator = separatorFromTyped(Text3->text());
    choices.quotedFields = Check3->isChecked();
    choices.firstLineIsHeader = Check2->isChecked();
    choices.detectTypes = Check5->isChecked();
    appendColumnChoices(choices);
    for (int i = 0; i < List1->count(); ++i)
        choices.existingTables.append(List1->item(i)->text());
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    choices.selectedTable = selected.isEmpty() ? -1 : List1->row(selected.first());
    choices.connection = m_form1.connectionSettings();
    choices.jobs = ImportChoices::jobsFrom(ReadSetting(SettingKeys::Connections));
    return choices;
}

QList<QWidget*> Form2::lockedDuringImport() const {
    // Every control that greys, captions and frames included, so that the whole window shows
    // the lock alike; the first frame has no caption to grey.
    return {ListView1, PushButton3, PushButton4, Label1,     Text3,   PushButton6, Check3,
            Frame2,    Option1,     Frame3,      Option3,    Option4, Label5,      Text2,
            Check5,    Option2,     Frame4,      Check2,     Label2,  List1,       Check4,
            Label6,    Text4,       PushButton1, PushButton5};
}

void Form2::PushButton1_Click() {
    if (m_worker)
        return;
    // The run works on a copy of the choices on its own thread, so the window stays live even
    // inside a long statement. The controls it was given stay locked until it ends, so what
    // the window shows is what is being imported.
    const ImportChoices choices = importChoices();
    // Each control's own state is kept before any is disabled: a frame disabled first would
    // make the controls inside it look disabled too, and they would stay so after the run.
    m_lockedStates.clear();
    for (QWidget* control : lockedDuringImport())
        m_lockedStates.append({control, !control->testAttribute(Qt::WA_ForceDisabled)});
    for (const auto& [control, enabled] : std::as_const(m_lockedStates))
        control->setEnabled(false);

    // The busy pointer shows for each file's turn only, as the run switches it; a folder scan
    // still running holds it too.
    m_frontEnd = std::make_unique<WindowImportFrontEnd>(
        m_context, this, [this](const QString& name) { List1->insertItem(0, name); });
    m_frontEnd->setBusyReceiver([this](bool busy) { setImportBusy(busy); });
    m_frontEnd->setProgressReceiver(
        [this](const ImportProgress& progress) { showProgress(progress); });
    m_meter = ProgressMeter();
    m_cancelling = false;
    m_runClock.start();
    m_result = ImportResult{};
    WindowImportFrontEnd* frontEnd = m_frontEnd.get();
    m_worker = QThread::create([this, choices, frontEnd, engine = m_engine] {
        try {
            m_result = engine(choices, *frontEnd);
        } catch (...) {
            // The engine reports its own failures; this only keeps an exception from leaving
            // the thread.
            ReportApplicationError(*frontEnd, ImportContext, 100,
                                   StepRunner::describe(std::current_exception()));
        }
    });
    connect(m_worker, &QThread::finished, this, &Form2::endImport);
    m_worker->start();
}

void Form2::endImport() {
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    std::shared_ptr<RunReport> report = m_frontEnd->takeRunReport();
    m_frontEnd.reset();
    m_lastResult = m_result;
    for (const auto& [control, enabled] : std::as_const(m_lockedStates))
        control->setEnabled(enabled);
    m_lockedStates.clear();
    showProgressRow(false);
    setImportBusy(false);
    if (report && !report->isEmpty())
        showRunReport(std::move(report));
    emit importFinished();
}

// The report of a run that left something out, beside the window; it goes when closed.
void Form2::showRunReport(std::shared_ptr<RunReport> report) {
    auto* window = new RunReportWindow(std::move(report), m_context.ui, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void Form2::setImportBusy(bool busy) {
    if (busy == m_importHoldsPointer)
        return;
    m_importHoldsPointer = busy;
    if (busy)
        m_pointer->holdBusy();
    else
        m_pointer->releaseBusy();
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    m_context.endProgram();
}

void Form2::showProgressRow(bool shown) {
    if (shown == PushButtonCancel->isVisible())
        return;
    const int rowHeight = twips(DesignedHeight + 660) - m_designedHeight;
    const int oldHeight = height();
    LabelProgress->setVisible(shown);
    PushButtonCancel->setVisible(shown);
    // The window grows or shrinks by the row; a maximised one keeps its size and its lists
    // give up or take back the row's room instead.
    setMinimumHeight(m_designedHeight + (shown ? rowHeight : 0));
    if (!isMaximized() && !isFullScreen())
        resize(width(), oldHeight + (shown ? rowHeight : -rowHeight));
    followWindowSize();
    if (shown) {
        PushButtonCancel->setEnabled(true);
        // The one live control during a run shows that it can be clicked.
        PushButtonCancel->setCursor(Qt::ArrowCursor);
    } else {
        LabelProgress->clear();
    }
}

void Form2::showProgress(const ImportProgress& progress) {
    if (!m_worker)
        return;
    m_meter.update(progress, m_runClock.elapsed());
    showProgressRow(true);
    const QString file = LabelProgress->fontMetrics().elidedText(
        m_meter.fileText(), Qt::ElideMiddle, LabelProgress->width());
    QString rows = m_meter.rowsText();
    if (m_cancelling)
        rows += QStringLiteral(" (stopping)");
    LabelProgress->setText(file + QLatin1Char('\n') + rows);
}

void Form2::PushButtonCancel_Click() {
    if (!m_worker || m_cancelling)
        return;
    m_cancelling = true;
    m_frontEnd->cancel();
    PushButtonCancel->setEnabled(false);
    LabelProgress->setText(LabelProgress->text() + QStringLiteral(" (stopping)"));
}
