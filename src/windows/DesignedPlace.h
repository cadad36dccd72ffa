#pragma once

#include "widgets/WindowHelpers.h"

#include <QString>

// Names a control and puts it at its designed place, given in twips.
template <class Control>
Control* place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(twips(left), twips(top), twips(width), twips(height));
    return control;
}
