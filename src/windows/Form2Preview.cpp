// The main window's previews of listed files: "Preview…" in the file list's context menu and
// the Space key open one; each follows the separator and quotes boxes while it is open, and
// shows the column types while "Detect column types" counts.

#include "shell/SeparatorText.h"
#include "windows/Form2.h"
#include "windows/PreviewWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QTreeWidget>

void Form2::ListView1_ContextMenu(const QPoint& at, bool byMouse) {
    QTreeWidgetItem* item = byMouse ? ListView1->itemAt(at) : ListView1->currentItem();
    if (!item)
        return;
    const QString path = item->text(0);
    const QPoint where = byMouse ? at : ListView1->visualItemRect(item).center();
    // On the heap, watched: the program may end while the menu is open, taking the list and
    // the menu with it.
    QPointer<QMenu> menu = new QMenu(ListView1);
    menu->setObjectName(QStringLiteral("fileListMenu"));
    QAction* preview = menu->addAction(QStringLiteral("Preview\u2026"));
    QAction* chosen = menu->exec(ListView1->viewport()->mapToGlobal(where));
    if (!menu)
        return;
    delete menu;
    // The menu took the release of the press that opened it: no drag goes on after it.
    DragActive = false;
    ListView1->setCursor(Qt::ArrowCursor);
    if (chosen == preview)
        previewFile(path);
}

bool Form2::previewSelectedFileEntry() {
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return false;
    previewFile(selected.first()->text(0));
    return true;
}

void Form2::previewFile(const QString& path) {
    const QList<PreviewWindow*> open =
        findChildren<PreviewWindow*>(QString(), Qt::FindDirectChildrenOnly);
    for (PreviewWindow* window : open) {
        if (window->path() == path) {
            window->raise();
            window->activateWindow();
            return;
        }
    }
    auto* window = new PreviewWindow(path, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    const auto read = [this, window] {
        window->setReading(separatorFromTyped(Text3->text()),
                           Check3->isChecked() ? FieldRule::Quoted : FieldRule::Plain,
                           Check5->isChecked() && Option1->isChecked());
    };
    read();
    connect(this, &Form2::readingChanged, window, read);
    window->show();
}
