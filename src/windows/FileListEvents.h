#pragma once

#include <QObject>
#include <QPersistentModelIndex>

class Form2;

// Turns what the toolkit reports about the main window's file list into the window's list
// handlers: presses, moves, releases and double-clicks in the list's viewport, drags and drops
// from other programs, and keys. Moves that belong to a reordering drag are kept from the list,
// so it neither selects nor scrolls by itself meanwhile; drops are handled here entirely, so
// the list's own drag-and-drop never runs. The window owns it and deletes it before its QWidget
// part goes away, since the filter calls into the window.
// The list's context menu, asked for by the mouse or the keyboard, goes to the window too.
class FileListEvents : public QObject {
public:
    explicit FileListEvents(Form2& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool viewportEvent(QEvent* event);
    // A double-click beside every entry acts on the entry that was selected before its first
    // press, which cleared the selection. The toolkit delivers a double-click as press,
    // release, double-click: the second press comes as the double-click itself.
    void reselectBeforeDoubleClick(QPoint at);

    Form2& m_window;
    // The entry selected when the last press reached the viewport, before the list handled it.
    QPersistentModelIndex m_selectedAtPress;
};
