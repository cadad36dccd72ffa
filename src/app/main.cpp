#include "app/ShippedFilesCheck.h"
#include "widgets/GuiUserInterface.h"
#include "widgets/WindowContext.h"
#include "widgets/WindowHelpers.h"
#include "windows/Form1.h"
#include "windows/Form3.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <string_view>

static const char* const helpText =
    "Usage: quenmarl [--help | --version]\n"
    "\n"
    "Opens the connection window and, once the connection works, the main window, where\n"
    "text files are chosen and loaded into PostgreSQL. The connection is kept in the\n"
    "settings store, ~/.config/Vantrell/Vantrell.ini, section [Quenmarl].\n"
    "\n"
    "The same import without windows: quenmarl-cli (see quenmarl-cli --help).\n";

int main(int argc, char* argv[]) {
    // Answered before the window system is reached, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            std::fputs(helpText, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("quenmarl %s\n", QUENMARL_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    // Not in the help: a check for installed trees that the pointer files are found.
    if (QCoreApplication::arguments().contains(QStringLiteral("--check-resources"))) {
        QTextStream out(stdout);
        return checkShippedFiles(out) ? 0 : 1;
    }

    app.setWindowIcon(applicationIcon());
    GuiUserInterface ui;
    WindowContext context{
        ui,
        [&ui](const QString& report, QWidget* parent) { showLinesReport(ui, report, parent); },
        [&ui] {
            // Leaves every event loop; work that lets events through stops when it next asks.
            ui.requestEnd();
            QCoreApplication::exit(0);
        },
    };
    Form1 connectionWindow(context);
    connectionWindow.start();
    return app.exec();
}
