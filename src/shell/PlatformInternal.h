#pragma once

#include "shell/Platform.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

// What the Platform*.cpp files share and nothing else includes.
namespace platform::internal {

// A path as the system calls take it.
inline QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

// Throws FileSystemError with the code (70, 75 or 76) and its description.
[[noreturn]] void throwCode(int code);

// Throws the FileSystemError for the error number of a failed call: 70 when access is refused,
// 76 when the path or a folder on the way is missing, 75 with the system's text otherwise.
[[noreturn]] void throwErrno(int error);

// The code that the test seam makes the operation on the path fail with, if any.
std::optional<int> simulatedRefusal(const QString& path, simulation::Operation operation);

// Whether the test seam marked the path read-only.
bool simulatedReadOnly(const QString& path);

} // namespace platform::internal
