// Times one import from the main window, from the click on "Import to PostgreSQL" to the
// closing message, with the program's own windows on the offscreen platform: the connection
// window starts over a temporary settings store that points at the private cluster
// (QUENMARL_TEST_HOST, _PORT, _USER, _PASSWORD), hands over to the main window, the file is
// added to its list and, once the window is on the screen and painted, the button is clicked
// with QTest. Every box the run shows is answered through the window context's user
// interface, which notes the time of the first message.
//
//   quenmarl_bench_window [--engine] DATABASE FILE...
//
// With --engine the same choices go to the import engine on this thread, without the window's
// worker thread and progress row: the engine's own time, for telling the window's share apart.
// The files go into new tables NewTable1, NewTable2, ... (the window's defaults), which must
// not exist. Prints "seconds S" and then every message shown; exits 0 when the run closed with
// "Done." and showed no error, 1 otherwise.

#include "import/ImportRun.h"
#include "shell/Settings.h"
#include "shell/UserInterface.h"
#include "widgets/WindowContext.h"
#include "windows/Form1.h"
#include "windows/Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// Answers every box at once and notes when the first message was shown: for a clean file, the
// closing one.
class TimingUserInterface : public UserInterface {
public:
    explicit TimingUserInterface(const QElapsedTimer& clock)
        : m_clock(clock) {}

    void message(const QString& text) override {
        if (m_closedAt < 0 && m_clock.isValid())
            m_closedAt = m_clock.nsecsElapsed();
        shown << text;
    }
    void applicationError(const QString& text) override {
        shown << QStringLiteral("Application Error: ") + text;
        ++errors;
    }
    QString inputText(const QString& prompt, const QString&) override {
        shown << QStringLiteral("input box: ") + prompt;
        return QString();
    }

    // Nanoseconds from the start of the clock to the first message, -1 before it.
    qint64 closedAt() const { return m_closedAt; }

    QStringList shown;
    int errors = 0;

private:
    const QElapsedTimer& m_clock;
    qint64 m_closedAt = -1;
};

// The engine's front end without a window: boxes go to the timing interface, nothing else is
// shown.
class QuietFrontEnd : public ImportFrontEnd {
public:
    explicit QuietFrontEnd(UserInterface& ui)
        : m_ui(ui) {}
    void message(const QString& text) override { m_ui.message(text); }
    void applicationError(const QString& text) override { m_ui.applicationError(text); }
    QString inputText(const QString& prompt, const QString& answer) override {
        return m_ui.inputText(prompt, answer);
    }
    void fieldCountReport(const FieldCountReport& report) override {
        m_ui.message(QStringLiteral("field-count report: ") + report.windowText());
    }
    void setBusy(bool) override {}
    void tableListed(const QString&) override {}
    void progress(const ImportProgress&) override {}

private:
    UserInterface& m_ui;
};

void store(const SettingKey& key, const char* variable) {
    WriteSetting(key, qEnvironmentVariable(variable));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool engineOnly = !arguments.isEmpty() && arguments.first() == QLatin1String("--engine");
    if (engineOnly)
        arguments.removeFirst();
    if (arguments.size() < 2 || qEnvironmentVariableIsEmpty("QUENMARL_TEST_PORT")) {
        std::fprintf(stderr, "usage: quenmarl_bench_window [--engine] DATABASE FILE...\n"
                             "with QUENMARL_TEST_HOST, _PORT, _USER and _PASSWORD set "
                             "(source scripts/pgcluster; pgcluster_start)\n");
        return 2;
    }

    QTemporaryDir storeFolder;
    settings::useFolder(storeFolder.path());
    store(SettingKeys::PostgreSQLServer, "QUENMARL_TEST_HOST");
    store(SettingKeys::PostgreSQLPort, "QUENMARL_TEST_PORT");
    store(SettingKeys::PostgreSQLUser, "QUENMARL_TEST_USER");
    store(SettingKeys::PostgreSQLPassword, "QUENMARL_TEST_PASSWORD");
    WriteSetting(SettingKeys::PostgreSQLDatabase, arguments.takeFirst());

    QElapsedTimer clock;
    TimingUserInterface ui(clock);
    WindowContext context{ui, [&ui](const QString& report, QWidget*) { ui.shown << report; },
                          [] {}};
    Form1 connectionWindow(context);
    connectionWindow.start();
    if (!connectionWindow.mainWindowLoaded() || !connectionWindow.mainWindow().isVisible()) {
        std::fprintf(stderr, "the stored connection did not lead to the main window: %s\n",
                     qPrintable(ui.shown.join(QStringLiteral(" / "))));
        return 1;
    }
    ui.shown.clear();
    Form2& window = connectionWindow.mainWindow();
    for (const QString& file : std::as_const(arguments))
        window.addFileEntry(file);
    // A person clicks a window that is already on the screen: its first paint (and the
    // connection window's hiding) belongs to the start-up, not to the import. Without this the
    // whole window is laid out and painted on the UI thread after the click, beside the run.
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the main window was never exposed\n");
        return 1;
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    if (engineOnly) {
        const ImportChoices choices = window.importChoices();
        QuietFrontEnd frontEnd(ui);
        clock.start();
        runImport(choices, frontEnd);
    } else {
        QEventLoop loop;
        QObject::connect(&window, &Form2::importFinished, &loop, &QEventLoop::quit);
        clock.start();
        QTest::mouseClick(window.PushButton1, Qt::LeftButton);
        if (window.importRunning())
            loop.exec();
    }
    const qint64 closedAt = ui.closedAt() >= 0 ? ui.closedAt() : clock.nsecsElapsed();

    std::printf("seconds %.3f\n", static_cast<double>(closedAt) / 1e9);
    for (const QString& text : std::as_const(ui.shown))
        std::printf("%s\n", qPrintable(text));
    return ui.shown.value(0) == QLatin1String("Done.") && ui.errors == 0 ? 0 : 1;
}
