#include "shell/AppTitle.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    SetApplicationTitle();
    QLabel window(QString::fromLatin1(ProductName));
    window.setWindowTitle(QString::fromLatin1(ProductName));
    window.resize(320, 120);
    window.show();
    return app.exec();
}
