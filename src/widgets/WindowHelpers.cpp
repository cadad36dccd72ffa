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

static void paintButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    const QColor face = QApplication::palette().color(QPalette::Button);
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void ApplyButtonFaceColors(QWidget* window) {
    paintButtonFace(window);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            paintButtonFace(child);
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
