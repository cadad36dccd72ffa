#include "app/ShippedFilesCheck.h"

#include "shell/Platform.h"
#include "widgets/WindowPointer.h"

#include <QStringList>
#include <QTextStream>

bool checkShippedFiles(QTextStream& out) {
    bool allFound = true;
    for (const QString& name : {QStringLiteral("HAND-M.CUR"), QStringLiteral("drag.ico")}) {
        const QString path = platform::fileBesideProgram(name);
        if (cursorFromFile(path)) {
            out << name << ": " << path << '\n';
        } else {
            out << name << ": not found or not a cursor: " << path << '\n';
            allFound = false;
        }
    }
    return allFound;
}
