#include "shell/PlatformInternal.h"

#include "shell/FileSystemError.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// Examining paths: attributes, existence, the error codes of failed file calls.

namespace platform {

namespace {

QString descriptionOf(int code) {
    switch (code) {
    case FileSystemError::PermissionDenied:
        return QStringLiteral("Permission denied");
    case FileSystemError::PathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Path/File access error");
    }
}

} // namespace

namespace internal {

[[noreturn]] void throwCode(int code) {
    throw FileSystemError(code, descriptionOf(code));
}

// Turns the error number of a failed call into the program's error codes.
[[noreturn]] void throwErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        throwCode(FileSystemError::PermissionDenied);
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        throwCode(FileSystemError::PathNotFound);
    default:
        throw FileSystemError(FileSystemError::PathFileAccessError,
                              descriptionOf(FileSystemError::PathFileAccessError) +
                                  QStringLiteral(" (") + QString::fromLocal8Bit(strerror(error)) +
                                  QLatin1Char(')'));
    }
}

} // namespace internal

using namespace internal;

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
    if (::access(native.constData(), W_OK) != 0 || simulatedReadOnly(path))
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

bool isRootFolder(const QString& path) {
    return !path.isEmpty() && QDir::cleanPath(path) == QLatin1String("/");
}

int requireAttributes(const QString& path) {
    if (const auto refused = simulatedRefusal(path, simulation::Operation::Examining))
        throwCode(*refused);
    struct stat info {};
    if (path.isEmpty())
        throwCode(FileSystemError::PathNotFound);
    if (::lstat(nativePath(path).constData(), &info) != 0)
        throwErrno(errno);
    if (const auto attributes = fileAttributes(path))
        return *attributes;
    throwCode(FileSystemError::PathNotFound);
}

bool isExistingFile(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

bool hasUnusualCharacters(const QString& name) {
    for (const QChar c : name) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?' ||
            c == QChar::ReplacementCharacter)
            return true;
    }
    return false;
}

bool openToOthers(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return (status.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

} // namespace platform
