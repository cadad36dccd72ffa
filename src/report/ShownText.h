#pragma once

#include <QString>

// A record's text as a report shows it on one line: at most `characters` of it, an ellipsis
// marking what was cut, and every control character made visible in caret notation, as the
// command line shows them (a tab as "^I", a line feed as "^J", a carriage return as "^M", NUL
// as "^@", DEL as "^?"): the fonts the program ships with have no pictures for them.
QString shownText(const QString& text, qsizetype characters);
