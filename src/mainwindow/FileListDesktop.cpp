#include "mainwindow/FileListDesktop.h"

#include "shell/BrowseForFolder.h"
#include "shell/OpenFilesDialog.h"

#include <QCursor>

FileListDesktop FileListDesktop::toolkit() {
    FileListDesktop desktop;
    desktop.openFiles = OpenFilesDialog;
    desktop.browseForFolder = BrowseForFolder;
    desktop.cursorPosition = [] { return QCursor::pos(); };
    return desktop;
}
