#pragma once

#include <QString>
#include <QStringList>

// What a report shows of a failure's description: its first line, the server's primary message,
// and its DETAIL line when it has one. The rest is left out: the LINE and caret lines libpq
// adds, HINT, QUERY, CONTEXT and LOCATION, and libpq's own hints on lines that begin with a tab.
// Lines that follow the primary message or the DETAIL line without such a label belong to it
// (a line break inside a value from a file) and stay in it. Labels are read as libpq writes
// them untranslated.
QStringList briefMessageParts(const QString& description);

// Those parts on lines of their own.
inline QString briefMessage(const QString& description) {
    return briefMessageParts(description).join(QLatin1Char('\n'));
}
