#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

// Everything that differs between operating systems lives behind these functions, so that
// a Windows build replaces the Platform*.cpp files beside this header (one per topic: paths,
// files, folders, input, signals, the tests' simulation) and nothing else.
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

// A file (or folder) that ships with the program, as shippedFileIn finds it for the running
// program's folder.
QString fileBesideProgram(const QString& name);

// Where a file that ships with the program is found, for a program in the given folder: beside
// the program when it is there (a build folder, or a copy set up by hand), otherwise in the
// data folder of an installed program (<prefix>/share/quenmarl for a program in <prefix>/bin,
// found relative to the program's folder, so a tree installed under another root works too).
// When neither holds it, the path beside the program, so callers that check for the file find
// it missing. Never throws.
QString shippedFileIn(const QString& programFolder, const QString& name);

// The attribute bits of a path, or no value when the path can't be examined. On Linux:
// read-only when the user may not write it, hidden when the name starts with ".", directory,
// archive for every regular file, alias for a symbolic link (whose other bits describe the
// link's target); system is never set. Never throws.
std::optional<int> fileAttributes(const QString& path);

// Whether the path can be examined at all (it exists, even as a dangling link). Never throws.
bool pathExists(const QString& path);

// Whether the path names the root of a file system (a drive root on Windows, "/" here).
bool isRootFolder(const QString& path);

// The attribute bits of a path, as fileAttributes, but a path that can't be examined throws
// FileSystemError (76 when it is missing, 70 when access is refused on the way to it).
int requireAttributes(const QString& path);

// One entry of a folder as the file system lists it.
struct FolderEntry {
    QString name;
    // False when the name's bytes are not valid in the file system's encoding (UTF-8 here):
    // the text then holds replacement characters and no longer names the entry, so callers
    // leave such entries out.
    bool nameIsExact = true;
    bool isFolder = false; // a folder, or a symbolic link to one
    bool isSymbolicLink = false;
};

// The entries of a folder, without "." and "..", ordered as Windows lists an NTFS folder:
// by name compared character by character after simple upper-casing, so case is ignored;
// names that differ only in case (possible here, never on NTFS) are ordered by their exact
// characters, capitals first, so the order is the same on every run. The folder may end with
// separators. Throws FileSystemError when the folder can't be listed (70 permission denied,
// 76 missing or not a folder, 75 anything else).
QList<FolderEntry> listFolder(const QString& folder);

// The order listFolder gives: whether name a comes before name b.
bool listsBefore(const QString& a, const QString& b);

// Whether a name matches a pattern with the wildcards "*" (any run of characters, also none)
// and "?" (exactly one character), ignoring case as Windows does. "*.*" matches every name,
// also one without a dot.
bool nameMatches(const QString& name, const QString& pattern);

// An existing regular file, or a symbolic link to one. The path is examined, never opened, so
// a named pipe, socket or device answers no instead of blocking. Never throws.
bool isExistingFile(const QString& path);

// Whether a name holds a character the program does not carry through its file calls: a
// control character (below 32 or 127 to 159), a "?", or the replacement character that stands
// for bytes that are not valid UTF-8.
bool hasUnusualCharacters(const QString& name);

// Whether users other than the file's owner may read or write it (any group or other
// permission bit here, as libpq judges its password file). A file that can't be examined
// answers no. Never throws.
bool openToOthers(const QString& path);

// Whether standard error goes to a terminal rather than a file or a pipe.
bool standardErrorIsTerminal();

// The requests to stop: Ctrl+C, a job runner's or the system's stop, a closed terminal (SIGINT,
// SIGTERM and SIGHUP here). From this call on, the first of them only notes itself for
// interruptRequested() and interruptSignal(), which any thread may ask; a second one, of any of
// them, ends the program at once, as that signal ordinarily does.
void catchInterrupt();
bool interruptRequested();
// The signal's number (SIGINT, SIGTERM or SIGHUP) of the first request, 0 before any.
int interruptSignal();

// An input file opened once for reading. The descriptor belongs to the caller, who closes it.
struct OpenedInput {
    int descriptor = -1;
    bool regular = false; // a regular file: it can be read again from its start
    qint64 size = 0;      // a regular file's length when it was opened
};

// Opens a path for reading. A named pipe is opened without waiting for its writer, so that the
// waiting happens in readWithin() where it can be given up. Throws Failure with the system's
// text ("Could not open PATH: ...") when the path can't be opened or is a folder.
OpenedInput openInput(const QString& path);

// Reads at most size bytes from a descriptor that is not a regular file, waiting at most
// timeoutMs for them to come. Returns the number of bytes read, 0 at the end of the input, or
// -1 when nothing came in time (or a signal cut the wait short). Throws Failure with the
// system's text, naming the path, when reading fails.
qint64 readWithin(int descriptor, char* data, qint64 size, int timeoutMs, const QString& path);

// Reads at most size bytes of a regular file from the offset, without moving the descriptor's
// position, so that several threads may read one descriptor at once. Returns the number of bytes
// read, 0 at the end of the file. Throws Failure with the system's text, naming the path.
qint64 readAt(int descriptor, char* data, qint64 size, qint64 offset, const QString& path);

// A new file of the program's own in the temporary folder, open for reading and writing, that
// has no name in any folder: it is gone when its descriptor is closed, also when the program
// is killed. The descriptor belongs to the caller. Throws Failure when none can be made.
int anonymousTemporaryFile();

// The bytes still free for an unprivileged writer, and all the bytes, of the file system that
// holds the open file; both -1 when the system can't tell.
struct Room {
    qint64 free = -1;
    qint64 total = -1;
};
Room roomOf(int descriptor);

// Closes a descriptor that openInput() or anonymousTemporaryFile() gave. Never throws.
void closeDescriptor(int descriptor);

// The path by which standard input is opened like a file.
QString standardInputPath();

// Test seam. The tests run as root, who may read and write everything; these calls let them
// see the file system as a less privileged user would. Paths are compared after QDir's
// clean-up, so trailing and doubled separators don't matter. Not for use outside tests.
namespace simulation {
enum class Operation {
    Listing,  // listFolder throws
    Examining // requireAttributes throws
};
// Makes the operation on the path fail with the code (70, 75 or 76) until clear().
void refuse(const QString& path, Operation operation, int code);
// Makes fileAttributes report the path as read-only until clear().
void markReadOnly(const QString& path);
void clear();
} // namespace simulation

} // namespace platform
