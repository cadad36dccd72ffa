#pragma once

#include <QString>

// The separator as the import takes it from the text a person typed: in the main window's box,
// where the Tab key moves the focus as everywhere else, and after quenmarl-cli --separator,
// where a Tab is awkward to type. So a Tab is typed as the two characters \t: every \t stands
// for one Tab and every other character is taken as it is (a Tab pasted or typed included).
QString separatorFromTyped(const QString& typed);
