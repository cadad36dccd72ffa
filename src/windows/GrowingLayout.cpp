#include "windows/GrowingLayout.h"

#include <QWidget>
#include <algorithm>

namespace {

int offset(GrowingLayout::Edge edge, int extra) {
    switch (edge) {
    case GrowingLayout::Edge::Stays:
        return 0;
    case GrowingLayout::Edge::FirstHalf:
        return extra / 2;
    case GrowingLayout::Edge::SecondHalf:
        return extra - extra / 2;
    case GrowingLayout::Edge::Whole:
        return extra;
    }
    return 0;
}

} // namespace

void GrowingLayout::follow(QWidget* control, Edges edges) {
    m_entries.append({control, control->geometry(), edges});
}

void GrowingLayout::apply(QSize extra) const {
    const int width = std::max(0, extra.width());
    const int height = std::max(0, extra.height());
    for (const Entry& entry : m_entries) {
        const QRect& designed = entry.designed;
        const int left = designed.left() + offset(entry.edges.left, width);
        const int top = designed.top() + offset(entry.edges.top, height);
        const int right = designed.left() + designed.width() + offset(entry.edges.right, width);
        const int bottom = designed.top() + designed.height() + offset(entry.edges.bottom, height);
        entry.control->setGeometry(left, top, right - left, bottom - top);
    }
}
