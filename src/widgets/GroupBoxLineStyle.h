#pragma once

#include <QProxyStyle>

// The application's style for group boxes (frames), with the frame drawn as its line alone: the
// faint shade some styles lay over a frame's inside is left out, so the inside shows the same
// button face as the window and the controls on it. Everything else is the base style's.
// Used on the UI thread.
class GroupBoxLineStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // The one instance, owned by the application object and made at the first call.
    static GroupBoxLineStyle* instance();
};
