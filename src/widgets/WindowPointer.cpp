#include "widgets/WindowPointer.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

std::optional<QPoint> cursorFileHotSpot(const QByteArray& data) {
    // Header: reserved (0), type (2 for cursors), image count; then 16-byte entries whose
    // bytes 4..7 hold the hot spot's x and y for cursors.
    if (data.size() < 6 + 16)
        return std::nullopt;
    const auto word = [&](int at) {
        return int(quint8(data[at])) | (int(quint8(data[at + 1])) << 8);
    };
    if (word(0) != 0 || word(2) != 2 || word(4) < 1)
        return std::nullopt;
    return QPoint(word(10), word(12));
}

WindowPointer::WindowPointer(QWidget* window)
    : QObject(window)
    , m_window(window) {}

std::optional<QCursor> cursorFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    const QImage image = QImage::fromData(data);
    if (image.isNull())
        return std::nullopt;
    const QPoint hotSpot = cursorFileHotSpot(data).value_or(QPoint(-1, -1));
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

bool WindowPointer::loadHandCursor(const QString& path) {
    std::optional<QCursor> hand = cursorFromFile(path);
    if (!hand)
        return false;
    m_hand = std::move(hand);
    if (m_mode == Mode::Custom)
        m_window->setCursor(*m_hand);
    return true;
}

QCursor WindowPointer::cursorFor(Mode mode) const {
    switch (mode) {
    case Mode::Busy:
        return QCursor(Qt::WaitCursor);
    case Mode::Custom:
        return m_hand.value_or(QCursor(Qt::ArrowCursor));
    case Mode::Default:
        break;
    }
    return QCursor(Qt::ArrowCursor);
}

void WindowPointer::setMode(Mode mode) {
    if (mode == Mode::Busy && m_mode != Mode::Busy) {
        const auto children = m_window->findChildren<QWidget*>();
        for (QWidget* child : children) {
            if (child->testAttribute(Qt::WA_SetCursor)) {
                m_covered.append({child, child->cursor()});
                child->setCursor(Qt::WaitCursor);
            }
        }
    } else if (mode != Mode::Busy && m_mode == Mode::Busy) {
        for (const auto& [child, cursor] : std::as_const(m_covered)) {
            if (child)
                child->setCursor(cursor);
        }
        m_covered.clear();
    }
    m_mode = mode;
    if (mode == Mode::Default)
        m_window->unsetCursor();
    else
        m_window->setCursor(cursorFor(mode));
}

void WindowPointer::holdBusy() {
    if (m_busyHolds++ == 0)
        setMode(Mode::Busy);
}

void WindowPointer::releaseBusy() {
    if (m_busyHolds > 0 && --m_busyHolds == 0)
        setMode(Mode::Default);
}

void WindowPointer::watch(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    m_watched.insert(widget);
}

void WindowPointer::watchButtons(std::initializer_list<QWidget*> buttons) {
    for (QWidget* button : buttons) {
        watch(button);
        m_buttons.insert(button);
    }
}

void WindowPointer::watchSurfaces(std::initializer_list<QWidget*> surfaces) {
    for (QWidget* surface : surfaces) {
        watch(surface);
        // Lists receive the mouse in their viewport.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(surface))
            watch(area->viewport());
    }
}

void WindowPointer::hover(Mode mode) {
    if (m_mode != Mode::Busy && m_mode != mode)
        setMode(mode);
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        // A move that a watched child ignored comes up to its parent; the child has decided.
        auto* widget = static_cast<QWidget*>(watched);
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        for (QWidget* under = widget->childAt(at); under && under != widget;
             under = under->parentWidget()) {
            if (m_watched.contains(under))
                return false;
        }
    }
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
        hover(m_buttons.contains(watched) ? Mode::Custom : Mode::Default);
    return QObject::eventFilter(watched, event);
}
