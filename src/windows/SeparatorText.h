#pragma once

#include <QString>

// The separator as the import takes it from the text typed in the main window's box. The Tab
// key moves the focus there as everywhere else, so a Tab is typed as the two characters \t;
// every \t stands for one Tab and every other character is taken as it is (a Tab pasted into
// the box included).
QString separatorFromBox(const QString& typed);
