#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// What the file-list commands ask of the desktop: the open-file dialog, the folder picker and
// the pointer's position on the screen. The main window starts with the toolkit's own; tests
// put their own in place so that no modal dialog ever runs. Called on the UI thread.
struct FileListDesktop {
    // Shows the open-file dialog modal to `owner` with `title` and the name filters (the first
    // one chosen), several files allowed, opened in `startFolder` (the home folder when that is
    // empty or gone). Returns the chosen files' full paths in the dialog's order, none when the
    // user cancels.
    std::function<QStringList(QWidget* owner, const QString& title, const QStringList& filters,
                              const QString& startFolder)>
        openFiles;

    // BrowseForFolder's contract.
    std::function<QString(QWidget* owner, const QString& title, const QString& startFolder)>
        browseForFolder;

    // The pointer's position in screen pixels, from the top-left corner of the primary screen.
    std::function<QPoint()> cursorPosition;

    // The toolkit's dialogs and QCursor::pos().
    static FileListDesktop toolkit();
};
