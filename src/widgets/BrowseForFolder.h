#pragma once

#include <QString>

class QWidget;

// Asks the user for one folder in the toolkit's folder dialog, modal to `owner`, with `title`
// as caption, starting at `startFolder` when it names an existing folder (otherwise where the
// dialog starts by itself). Returns the chosen folder's path without a trailing separator
// (a root keeps its one), or the empty text when the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& startFolder);
