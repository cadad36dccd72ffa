#include "widgets/WindowHelpers.h"

#include "shell/Platform.h"
#include "widgets/GroupBoxLineStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QWidget>

static void setButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    const QColor face = QApplication::palette().color(QPalette::Button);
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
}

void ApplyButtonFaceColors(QWidget* window) {
    setButtonFace(window);
    window->setAutoFillBackground(true);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        // Only the window paints its background. A control that filled its own rectangle would
        // show as a patch wherever the window around it is drawn otherwise (a style's gradient
        // or texture) and, for a label, beyond its text to the end of its designed width.
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            setButtonFace(child);
        // The style's shade inside a frame would set it apart from the window.
        if (qobject_cast<QGroupBox*>(child))
            child->setStyle(GroupBoxLineStyle::instance());
    }
}

void LoadApplicationSkin(QWidget* connectionWindow) {
    const QString skin = platform::programFolder() + platform::pathSeparator() +
                         QStringLiteral("x") + platform::pathSeparator() + QStringLiteral("o.cjs");
    const QFileInfo info(skin);
    if (!info.exists() || info.isHidden())
        return;
    ApplyButtonFaceColors(connectionWindow);
}

QFont designFont(qreal pointSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Bold);
    return font;
}

QIcon applicationIcon() {
    return QIcon(QStringLiteral(":/quenmarl/quenmarl.png"));
}
