#include "widgets/BrowseForFolder.h"

#include "shell/Paths.h"

#include <QFileDialog>

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    const QString start = !startFolder.isEmpty() && IsFolder(startFolder) ? startFolder : QString();
    return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
}
