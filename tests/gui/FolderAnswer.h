#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QTimer>

// Answers the folder dialog that a click opens: notes its title and the folder it starts at,
// then goes into `folder` and chooses it, or cancels when that is empty. The dialog is
// accepted only once it answers with that folder: it lists folders as it goes, which can
// undo a choice made too early.
struct FolderAnswer {
    QTimer poll;
    QPointer<QFileDialog> seen;
    int shown = 0; // dialogs
    QString title;
    QString start;

    explicit FolderAnswer(const QString& folder) {
        QObject::connect(&poll, &QTimer::timeout, [this, folder] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (dialog != seen) {
                seen = dialog;
                ++shown;
                title = dialog->windowTitle();
                start = dialog->directory().absolutePath();
            }
            if (folder.isEmpty()) {
                dialog->reject();
            } else if (dialog->selectedFiles() != QStringList(folder)) {
                dialog->setDirectory(folder);
                return;
            } else {
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        poll.start(10);
    }
};
