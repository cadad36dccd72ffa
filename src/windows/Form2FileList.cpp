// The main window's file list: the two commands that fill it, drops from other programs,
// removal, and reordering by dragging an entry within the list.

#include "shell/AddFolder.h"
#include "shell/Failure.h"
#include "shell/FileEntries.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/Settings.h"
#include "shell/StepRunner.h"
#include "shell/UserInterface.h"
#include "widgets/WindowContext.h"
#include "widgets/WindowPointer.h"
#include "windows/FileListEvents.h"
#include "windows/Form2.h"

#include <QFileInfo>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

namespace {

const QString AddFilesContext = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton3_Click ");
const QString AddFolderContext = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton4_Click ");
// Drops are reported like the commands, under a context of their own.
const QString DropContext = QStringLiteral("in Quenmarl2021/08/31.Form2.ListView1_OLEDragDrop ");

// The screen rows above and below which an exchange scrolls the neighbouring entry into view.
constexpr int ScrollUpAbove = 305;
constexpr int ScrollDownFrom = 365;

// The dropped files and folders, in the order delivered; none unless every item is a local
// path (a list of files from a file manager).
QStringList droppedPaths(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    QStringList paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

// A folder as the scan takes it: without trailing separators, unless it is a root.
QString folderWithoutTrailingSeparator(QString folder) {
    const QChar separator = platform::pathSeparator();
    while (folder.size() > 1 && folder.endsWith(separator) && !platform::isRootFolder(folder))
        folder.chop(1);
    return folder;
}

// Keeps the folder of the last of the files just added for the next "Add Text File(s)". A store
// that can't be written only costs that start folder, so it is passed over without a message.
void rememberFolderOf(const QStringList& added) {
    if (added.isEmpty())
        return;
    try {
        WriteSetting(SettingKeys::LastFileFolder, QFileInfo(added.last()).absolutePath());
    } catch (const Failure&) {
    }
}

} // namespace

void setEntryPath(QTreeWidgetItem* entry, const QString& path) {
    entry->setText(0, path);
    entry->setToolTip(0, path);
}

void Form2::setUpFileList() {
    m_desktop = FileListDesktop::toolkit();
    // Files and folders may be dropped on the list from other programs; nothing is ever dragged
    // out of it, since pressing and moving in the list reorders its entries.
    ListView1->setDragEnabled(false);
    ListView1->setDragDropMode(QAbstractItemView::DropOnly);
    ListView1->setAcceptDrops(true);
    ListView1->viewport()->setAcceptDrops(true);
    // Scrolling during a reordering drag follows the pointer's screen row alone.
    ListView1->setAutoScroll(false);
    m_fileListEvents = std::make_unique<FileListEvents>(*this);
}

void Form2::PushButton3_Click() {
    StepRunner run(m_context.ui, AddFilesContext);
    const QStringList chosen = run.value(
        100,
        [&] {
            return m_desktop.openFiles(
                this, QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"),
                {QStringLiteral("Text Files (*.txt)"), QStringLiteral("CSV Files (*.csv)"),
                 QStringLiteral("All Files (*.*)")},
                ReadSetting(SettingKeys::LastFileFolder));
        },
        QStringList());
    if (run.test(112, [&] { return chosen.isEmpty(); }))
        return;
    if (run.test(114, [&] { return !fitsFileDialogBuffer(chosen); })) {
        run.step(116, [&] {
            m_context.ui.message(QStringLiteral("You've selected too many files to add.\r\r"
                                                "Please try adding via the \"Add All\" button."));
        });
        return;
    }
    const QStringList entries = run.value(
        118, [&] { return fileDialogEntries(chosen); }, chosen);
    run.begin(120);
    QStringList added;
    for (const QString& entry : entries) {
        if (!run.step(122, [&] { addFileEntry(entry); }))
            break;
        added.append(entry);
    }
    rememberFolderOf(added);
    run.begin(148);
}

void Form2::PushButton4_Click() {
    StepRunner run(m_context.ui, AddFolderContext);
    const QString answer = run.value(
        100,
        [&] {
            return m_context.ui.inputText(
                QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all "
                               "txt files, doc for all doc files, etc.)"),
                ReadSetting(SettingKeys::Extension));
        },
        QString());
    if (run.test(102, [&] { return answer.isEmpty(); }))
        return;
    run.step(106, [&] { WriteSetting(SettingKeys::Extension, answer); });
    const QString folder = run.value(
        108,
        [&] {
            return m_desktop.browseForFolder(this, QStringLiteral("Please select folder:"),
                                             ReadSetting(SettingKeys::LastFolder));
        },
        QString());
    if (run.test(110, [&] { return folder.isEmpty(); }))
        return;
    run.step(114, [&] { WriteSetting(SettingKeys::LastFolder, folder); });
    // A hold, not a mode: an import started during the scan keeps the pointer busy past it.
    run.step(116, [&] { m_pointer->holdBusy(); });
    // Each file joins the list as it is found; what is dropped meanwhile comes behind it.
    const QStringList entries =
        filesInFolderTree(folder, QStringLiteral("*.") + answer, run,
                          [this](const QString& entry) { addFileEntry(entry); });
    // Closed during the scan: the program is ending, the window is left as it is.
    if (m_context.ui.endRequested())
        return;
    rememberFolderOf(entries);
    run.step(140, [&] { m_pointer->releaseBusy(); });
}

bool Form2::ListView1_OLEDragOver(const QMimeData* data) const {
    return !droppedPaths(data).isEmpty();
}

void Form2::ListView1_OLEDragDrop(const QMimeData* data) {
    // Copied first: the scan lets other events be handled, and the data belongs to the drop.
    const QStringList paths = droppedPaths(data);
    StepRunner run(m_context.ui, DropContext);
    QStringList added;
    for (const QString& path : paths) {
        if (m_context.ui.endRequested())
            return;
        if (run.test(100, [&] { return IsFolder(path); })) {
            added.append(filesInFolderTree(folderWithoutTrailingSeparator(path),
                                           QStringLiteral("*.*"), run,
                                           [this](const QString& entry) { addFileEntry(entry); }));
        } else if (run.step(102, [&] { addFileEntry(path); })) {
            added.append(path);
        }
    }
    rememberFolderOf(added);
}

void Form2::removeSelectedFileEntry() {
    // Refused for a whole import, between its files' turns too, not only under the pointer.
    if (m_pointer->isBusy() || importRunning() || ListView1->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return;
    delete ListView1->takeTopLevelItem(ListView1->indexOfTopLevelItem(selected.first()));
}

bool Form2::ListView1_KeyDown(int key, Qt::KeyboardModifiers shift) {
    if (key == Qt::Key_Space && shift == Qt::NoModifier)
        return previewSelectedFileEntry();
    if (key != Qt::Key_Delete)
        return false;
    removeSelectedFileEntry();
    return true;
}

void Form2::ListView1_DblClick() {
    removeSelectedFileEntry();
}

void Form2::ListView1_ItemClick(QTreeWidgetItem* item) {
    // A missing or unreadable pointer file leaves the list's pointer as it is.
    if (const std::optional<QCursor> drag =
            cursorFromFile(platform::fileBesideProgram(QStringLiteral("drag.ico"))))
        ListView1->setCursor(*drag);
    ListView1->setDragEnabled(false);
    DragItem =
        QPersistentModelIndex(ListView1->model()->index(ListView1->indexOfTopLevelItem(item), 0));
}

void Form2::ListView1_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint& at) {
    DragActive = true;
    // The entry under the press is the one dragged; a press beside every entry drags nothing,
    // whatever was dragged before.
    if (!ListView1->indexAt(at).isValid())
        DragItem = QPersistentModelIndex();
}

void Form2::ListView1_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) {
    DragActive = false;
    ListView1->setCursor(Qt::ArrowCursor);
}

void Form2::ListView1_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, const QPoint& at) {
    if (!m_pointer->isBusy() && m_pointer->mode() != WindowPointer::Mode::Default)
        m_pointer->setMode(WindowPointer::Mode::Default);
    // With no button held the drag is over, even if its release never reached the list.
    if (buttons == Qt::NoButton)
        DragActive = false;
    if (!DragActive)
        return;
    HoverItem = QPersistentModelIndex(ListView1->indexAt(at).siblingAtColumn(0));
    if (HoverItem.isValid() && DragItem.isValid()) {
        QTreeWidgetItem* dragged = ListView1->topLevelItem(DragItem.row());
        QTreeWidgetItem* hovered = ListView1->topLevelItem(HoverItem.row());
        if (dragged->text(0) != hovered->text(0)) {
            const QString text = dragged->text(0);
            setEntryPath(dragged, hovered->text(0));
            setEntryPath(hovered, text);
            ListView1->setCurrentItem(hovered);
            DragItem = HoverItem;
            scrollAfterExchange(HoverItem.row());
        }
    }
    HoverItem = QPersistentModelIndex();
}

void Form2::scrollAfterExchange(int position) {
    const int row = m_desktop.cursorPosition().y();
    if (row < ScrollUpAbove) {
        if (position >= 1)
            ListView1->scrollToItem(ListView1->topLevelItem(position - 1));
    } else if (row >= ScrollDownFrom) {
        if (position + 1 < ListView1->topLevelItemCount())
            ListView1->scrollToItem(ListView1->topLevelItem(position + 1));
    }
}
