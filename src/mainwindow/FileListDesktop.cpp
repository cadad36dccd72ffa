#include "mainwindow/FileListDesktop.h"

#include "shell/BrowseForFolder.h"

#include <QCursor>
#include <QFileDialog>

FileListDesktop FileListDesktop::toolkit() {
    FileListDesktop desktop;
    desktop.openFiles = [](QWidget* owner, const QString& title, const QStringList& filters) {
        QString chosenFilter = filters.value(0);
        return QFileDialog::getOpenFileNames(owner, title, QString(),
                                             filters.join(QStringLiteral(";;")), &chosenFilter);
    };
    desktop.browseForFolder = BrowseForFolder;
    desktop.cursorPosition = [] { return QCursor::pos(); };
    return desktop;
}
