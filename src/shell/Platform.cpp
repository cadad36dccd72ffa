#include "shell/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

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

QString fileBesideProgram(const QString& name) {
    return programFolder() + pathSeparator() + name;
}

static QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

std::optional<int> fileAttributes(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray native = nativePath(path);
    struct stat own {};
    if (::lstat(native.constData(), &own) != 0)
        return std::nullopt;

    int attributes = 0;
    struct stat target = own;
    if (S_ISLNK(own.st_mode)) {
        attributes |= AttributeAlias;
        if (::stat(native.constData(), &target) != 0)
            target = own;
    }
    if (S_ISDIR(target.st_mode))
        attributes |= AttributeDirectory;
    else if (S_ISREG(target.st_mode))
        attributes |= AttributeArchive;
    if (::access(native.constData(), W_OK) != 0)
        attributes |= AttributeReadOnly;

    QString name = path;
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") &&
        name != QLatin1String(".."))
        attributes |= AttributeHidden;
    return attributes;
}

bool pathExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(nativePath(path).constData(), &info) == 0;
}

} // namespace platform
