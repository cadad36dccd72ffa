#include "database/Form1.h"
#include "import/Form3.h"
#include "shell/GuiUserInterface.h"
#include "shell/WindowContext.h"
#include "shell/WindowHelpers.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    app.setWindowIcon(applicationIcon());
    GuiUserInterface ui;
    WindowContext context{
        ui,
        [&ui](const QString& report, QWidget* parent) { showLinesReport(ui, report, parent); },
        [] { QCoreApplication::exit(0); },
    };
    Form1 connectionWindow(context);
    connectionWindow.start();
    return app.exec();
}
