#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// Places a window's controls for the room the window has beyond its design. Each control keeps
// the rectangle it had when it was recorded (its designed place, in its parent's coordinates)
// and each of its four edges follows a share of the extra width or height, so at the designed
// size every control is exactly where it was designed. Does not own the controls; UI thread.
class GrowingLayout {
public:
    // How far an edge moves, as a share of the extra room along its axis. FirstHalf and
    // SecondHalf split the room between two controls stacked along that axis without losing a
    // pixel to rounding.
    enum class Edge { Stays, FirstHalf, SecondHalf, Whole };
    struct Edges {
        Edge left;
        Edge top;
        Edge right;
        Edge bottom;
    };

    // Records the control's present geometry as its designed one.
    void follow(QWidget* control, Edges edges);
    // Places every recorded control for the room beyond the design; a negative room counts as
    // none, so the window never squeezes a control below its designed size.
    void apply(QSize extra) const;

private:
    struct Entry {
        QWidget* control;
        QRect designed;
        Edges edges;
    };
    QList<Entry> m_entries;
};
