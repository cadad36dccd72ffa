#pragma once

#include <QObject>
#include <QPoint>
#include <optional>

class QWidget;

// Keeps a top-level window where it was across the program's own hide and show. Without it a
// window that the user moved (the window manager moved it, not the program) is placed afresh
// by the window manager each time it is shown again, often in a corner of the screen, since
// the toolkit hands on a position only when the program chose one. Installed on the window,
// which owns it; acts only on hides and shows that the program makes, not on the window
// manager's own (minimising).
class WindowPlace : public QObject {
public:
    explicit WindowPlace(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    std::optional<QPoint> m_kept;
};
