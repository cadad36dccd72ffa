#include "cli/BriefError.h"

#include "cli/TerminalText.h"
#include "report/BriefMessage.h"

QStringList briefErrorLines(const QString& description) {
    QStringList lines = briefMessageParts(description);
    for (QString& line : lines)
        line = terminalLine(line);
    return lines;
}
