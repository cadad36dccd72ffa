#pragma once

#include <QString>

// A record's text as a report shows it on one line: every control character made visible as
// its picture (U+2400 and on: a tab as "␉", a line feed as "␊", a carriage return as "␍",
// DEL as "␡"), and at most `characters` of it, an ellipsis marking what was cut.
QString shownText(const QString& text, qsizetype characters);
