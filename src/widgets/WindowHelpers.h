#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

class QWidget;

// Designs are measured in twips; the screen has 15 twips per pixel.
inline constexpr int TwipsPerPixel = 15;
constexpr int twips(int value) {
    return (value + TwipsPerPixel / 2) / TwipsPerPixel;
}

// Gives the window and its option buttons, check boxes, frames and labels the button-face
// colour of the current style, so they follow the user's colour scheme, the frames' insides
// without the style's shade (GroupBoxLineStyle). The window fills its background with it; those
// controls leave theirs unpainted, so they show the window around them. Other controls keep
// their colours.
void ApplyButtonFaceColors(QWidget* window);

// Applies the optional skin to the connection window: when the file x/o.cjs stands beside
// the program, the window takes the button-face colouring. There is no skin component here,
// so nothing else of the skin is loaded.
void LoadApplicationSkin(QWidget* connectionWindow);

// The windows' typeface: Arial, bold (weight 700), at the given point size. On Linux
// fontconfig maps Arial to the metric-compatible Liberation Sans.
QFont designFont(qreal pointSize);

// The program's icon, built into the program.
QIcon applicationIcon();
