#include "windows/FileListDesktop.h"

#include "widgets/BrowseForFolder.h"
#include "widgets/OpenFilesDialog.h"

#include <QCursor>

FileListDesktop FileListDesktop::toolkit() {
    FileListDesktop desktop;
    desktop.openFiles = OpenFilesDialog;
    desktop.browseForFolder = BrowseForFolder;
    desktop.cursorPosition = [] { return QCursor::pos(); };
    return desktop;
}
