#pragma once

#include <QCursor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <initializer_list>
#include <optional>

class QWidget;

// The mouse pointer of one window. The window shows the default arrow, the custom pointer (the
// hand cursor, or the arrow when no hand cursor was loaded) or the busy pointer (hourglass).
// Hovering a watched button gives the custom pointer and hovering a watched surface the
// default one, but never while the window is busy: only whoever set the busy pointer resets it.
class WindowPointer : public QObject {
public:
    enum class Mode { Default, Custom, Busy };

    explicit WindowPointer(QWidget* window);

    // Loads the hand cursor from a cursor file. Qt's image readers pick the format from the
    // content, so a Windows .cur and a PNG both work; a .cur gives its own hot spot. Returns
    // false, keeping no image, when the file can't be read as a picture.
    bool loadHandCursor(const QString& path);
    bool hasHandCursor() const { return m_hand.has_value(); }

    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    bool isBusy() const { return m_mode == Mode::Busy; }

    // The busy pointer for operations that may overlap (a folder scan that lets events through
    // and an import run): the first hold shows it, and only the release of the last hold gives
    // the default pointer back. Every hold must be released once.
    void holdBusy();
    void releaseBusy();
    int busyHolds() const { return m_busyHolds; }

    void watchButtons(std::initializer_list<QWidget*> buttons);
    void watchSurfaces(std::initializer_list<QWidget*> surfaces);

    // The cursor a mode shows.
    QCursor cursorFor(Mode mode) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hover(Mode mode);
    void watch(QWidget* widget);

    QWidget* m_window;
    Mode m_mode = Mode::Default;
    int m_busyHolds = 0;
    std::optional<QCursor> m_hand;
    QSet<QObject*> m_buttons;
    QSet<QObject*> m_watched;
    // Controls with a pointer of their own (text fields) that the busy pointer covers, with the
    // pointer to give back.
    QList<std::pair<QPointer<QWidget>, QCursor>> m_covered;
};

// A mouse pointer from a cursor or icon file (a Windows .cur or .ico, or any picture Qt reads),
// with the hot spot a cursor file stores; no value when the file can't be read as a picture.
std::optional<QCursor> cursorFromFile(const QString& path);

// The hot spot that a Windows cursor file stores for its first image, or no value when the data
// is not a cursor file.
std::optional<QPoint> cursorFileHotSpot(const QByteArray& data);
