#pragma once

#include <QString>
#include <optional>

// Everything that differs between operating systems lives behind these functions, so that
// a Windows build replaces this one file pair and nothing else.
namespace platform {

// File attribute bits, with the values the rest of the program compares against.
inline constexpr int AttributeReadOnly = 1;
inline constexpr int AttributeHidden = 2;
inline constexpr int AttributeSystem = 4;
inline constexpr int AttributeDirectory = 16;
inline constexpr int AttributeArchive = 32;
inline constexpr int AttributeAlias = 1024;

// The separator between folder and file names in the paths the program builds and shows.
QChar pathSeparator();

// Whether a path that begins with separators keeps two of them (the Windows network form)
// rather than one.
bool keepsDoubleLeadingSeparator();

// The folder that holds the running program, without a trailing separator.
QString programFolder();

// A file that ships beside the program: the program folder, the separator and the name.
QString fileBesideProgram(const QString& name);

// The attribute bits of a path, or no value when the path can't be examined. On Linux:
// read-only when the user may not write it, hidden when the name starts with ".", directory,
// archive for every regular file, alias for a symbolic link (whose other bits describe the
// link's target); system is never set. Never throws.
std::optional<int> fileAttributes(const QString& path);

// Whether the path can be examined at all (it exists, even as a dangling link). Never throws.
bool pathExists(const QString& path);

} // namespace platform
