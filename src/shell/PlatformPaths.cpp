#include "shell/Platform.h"

#include <QCoreApplication>
#include <QDir>

// The separator, the program's own folder and the files that ship with it.

namespace platform {

QChar pathSeparator() {
    return QLatin1Char('/');
}

bool keepsDoubleLeadingSeparator() {
    return false;
}

QString programFolder() {
    QString folder = QCoreApplication::applicationDirPath();
    while (folder.size() > 1 && folder.endsWith(pathSeparator()))
        folder.chop(1);
    return folder;
}

QString shippedFileIn(const QString& programFolder, const QString& name) {
    const QString beside = programFolder + pathSeparator() + name;
    if (pathExists(beside))
        return beside;
    // The build passes the data folder relative to the program's folder, as the install rules
    // lay them out.
    const QString installed =
        QDir::cleanPath(programFolder + pathSeparator() +
                        QStringLiteral(QUENMARL_DATA_FROM_PROGRAM) + pathSeparator() + name);
    return pathExists(installed) ? installed : beside;
}

QString fileBesideProgram(const QString& name) {
    return shippedFileIn(programFolder(), name);
}

QString standardInputPath() {
    return QStringLiteral("/dev/stdin");
}

} // namespace platform
