#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Asks the user for one or more existing files in the toolkit's own file dialog, modal to
// `owner`, with `title` as caption. `filters` are the choices of the dialog's file-type box,
// shown exactly as given ("Text Files (*.txt)"), the first one chosen; the patterns in the
// parentheses match as the desktop the program was designed for matches them, where "*.*"
// means every file, names without a dot included. The dialog opens in `startFolder`, or in the
// user's home folder when that is empty or no existing folder. Returns the chosen files' full
// paths in the dialog's order, none when the user cancels.
QStringList OpenFilesDialog(QWidget* owner, const QString& title, const QStringList& filters,
                            const QString& startFolder);
