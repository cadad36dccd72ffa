#include "widgets/GroupBoxLineStyle.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

namespace {

// Pixels this transparent or more so belong to the shade inside a frame; the frame's line and
// its rounded corners are far more opaque.
constexpr int ShadeAlpha = 0x0b;

} // namespace

void GroupBoxLineStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                      QPainter* painter, const QWidget* widget) const {
    if (element != PE_FrameGroupBox || option->rect.isEmpty()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Drawn aside at the painter's pixel density, the shade taken out, then laid down.
    const qreal ratio = painter->device()->devicePixelRatioF();
    QImage frame(option->rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(ratio);
    frame.fill(Qt::transparent);
    {
        QPainter aside(&frame);
        aside.translate(-option->rect.topLeft());
        QProxyStyle::drawPrimitive(element, option, &aside, widget);
    }
    for (int y = 0; y < frame.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            if (qAlpha(line[x]) < ShadeAlpha)
                line[x] = 0;
    }
    painter->drawImage(option->rect.topLeft(), frame);
}

GroupBoxLineStyle* GroupBoxLineStyle::instance() {
    static QPointer<GroupBoxLineStyle> style;
    if (!style) {
        style = new GroupBoxLineStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}
