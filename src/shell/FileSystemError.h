#pragma once

#include "shell/Failure.h"

// A failure of the file system with the runtime error code the rest of the program tests:
// 70 permission denied, 76 path not found, 75 any other path or file access error. The
// description is the text shown for that code.
class FileSystemError : public Failure {
public:
    static constexpr int PermissionDenied = 70;
    static constexpr int PathFileAccessError = 75;
    static constexpr int PathNotFound = 76;

    FileSystemError(int code, const QString& description)
        : Failure(description)
        , m_code(code) {}

    int code() const { return m_code; }

private:
    int m_code;
};
