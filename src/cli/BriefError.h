#pragma once

#include <QStringList>

// What the command line shows of a failure's description: briefMessageParts(), each made one
// visible line (terminalLine()), so that a line break inside a value shows as "^J".
QStringList briefErrorLines(const QString& description);
