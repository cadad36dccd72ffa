#include "windows/FileListEvents.h"

#include "windows/Form2.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeWidget>

FileListEvents::FileListEvents(Form2& window)
    : m_window(window) {
    m_window.ListView1->installEventFilter(this);
    m_window.ListView1->viewport()->installEventFilter(this);
}

bool FileListEvents::eventFilter(QObject* watched, QEvent* event) {
    // The mouse asks the viewport for the menu, the keyboard the list itself.
    if (event->type() == QEvent::ContextMenu &&
        (watched == m_window.ListView1->viewport() || watched == m_window.ListView1)) {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        m_window.ListView1_ContextMenu(menu->pos(), menu->reason() == QContextMenuEvent::Mouse);
        return true;
    }
    if (watched == m_window.ListView1->viewport())
        return viewportEvent(event);
    if (watched == m_window.ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return m_window.ListView1_KeyDown(key->key(), key->modifiers());
    }
    return false;
}

bool FileListEvents::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        const QList<QTreeWidgetItem*> selected = m_window.ListView1->selectedItems();
        m_selectedAtPress =
            selected.isEmpty() ? QPersistentModelIndex()
                               : QPersistentModelIndex(m_window.ListView1->model()->index(
                                     m_window.ListView1->indexOfTopLevelItem(selected.first()), 0));
        m_window.ListView1_MouseDown(mouse->button(), mouse->modifiers(), at);
        if (QTreeWidgetItem* item = m_window.ListView1->itemAt(at))
            m_window.ListView1_ItemClick(item);
        return false; // the list selects the entry pressed
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_window.ListView1_MouseMove(mouse->buttons(), mouse->modifiers(),
                                     mouse->position().toPoint());
        return m_window.draggingFileEntry();
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_window.ListView1_MouseUp(mouse->button(), mouse->modifiers(),
                                   mouse->position().toPoint());
        return false;
    }
    case QEvent::MouseButtonDblClick:
        reselectBeforeDoubleClick(static_cast<QMouseEvent*>(event)->position().toPoint());
        m_window.ListView1_DblClick();
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (m_window.ListView1_OLEDragOver(drag->mimeData())) {
            drag->acceptProposedAction();
        } else {
            drag->setDropAction(Qt::IgnoreAction);
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!m_window.ListView1_OLEDragOver(drop->mimeData())) {
            drop->ignore();
            return true;
        }
        m_window.ListView1_OLEDragDrop(drop->mimeData());
        drop->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

void FileListEvents::reselectBeforeDoubleClick(QPoint at) {
    QTreeWidget* list = m_window.ListView1;
    if (list->itemAt(at) || !list->selectedItems().isEmpty() || !m_selectedAtPress.isValid())
        return;
    if (QTreeWidgetItem* item = list->topLevelItem(m_selectedAtPress.row()))
        list->setCurrentItem(item);
}
