#include "widgets/WindowPlace.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

WindowPlace::WindowPlace(QWidget* window)
    : QObject(window)
    , m_window(window) {
    window->installEventFilter(this);
}

bool WindowPlace::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && !event->spontaneous()) {
        if (event->type() == QEvent::Hide) {
            // The client area's place: the frame is gone while the window is hidden.
            m_kept = m_window->geometry().topLeft();
        } else if (event->type() == QEvent::Show && m_kept) {
            // Before the window is mapped, so it appears there rather than moving there. Set on
            // the native window even when the position is unchanged (where moving the widget
            // does nothing): that is what makes the position the program's own.
            if (QWindow* native = m_window->windowHandle())
                native->setPosition(*m_kept);
            else
                m_window->move(*m_kept - (m_window->geometry().topLeft() - m_window->pos()));
        }
    }
    return false;
}
