#pragma once

#include <QString>
#include <QStringList>

class UserInterface;

// The context text with which the folder scan reports an unexpected failure.
inline constexpr const char* FolderScanContext =
    "in Dorvane2021/08/31.AddFolder.GetSubDirectories2016 ";

// Folder paths and subfolder names this long (in characters) or longer are not handled.
inline constexpr qsizetype FolderPathLimit = 260;

// Appends to `folders` the subfolders of its entries, breadth-first: the entries given stay
// first, in their order; behind them come every first-level subfolder (grouped by parent in
// the parent's order, within one parent in platform::listFolder's order), then every
// second-level one, and so on. With deep false only the first level is added. Every entry
// ends with platform::pathSeparator(), the ones given as well as the ones added; duplicates
// are kept.
//
// Left out, together with everything below them: subfolder names of FolderPathLimit characters
// or more, names with unusual characters (HasUnusualCharacters, or bytes that are not valid in
// the file system's encoding), names with "?", symbolic links to folders (following them could
// loop), and folders whose attribute value is exactly 22 or 1046 (hidden, system, directory
// and possibly alias) unless they are a file-system root. An entry given that is not a folder,
// or is FolderPathLimit characters or longer, stays but is not scanned.
//
// Failures: when listing a folder fails with permission denied (70) or path not found (76), the
// first entry equal to that folder is removed and the scan goes on with the next one; any
// other listing failure leaves the entry. Neither shows a message. Once a listing has begun,
// a failure to examine a later entry is handled the same way. Every other failure is reported
// through `ui` with FolderScanContext and the step number (100 to 160) and the scan goes on by
// the StepRunner rules. Never throws.
//
// Lets the event loop handle pending events once per folder examined, per subfolder name read
// and per folder copied, so the window stays responsive; the caller shows the busy pointer.
// When `ui` answers endRequested() afterwards the scan returns at once, `folders` half done.
// Runs on the thread that owns the user interface.
void GetSubDirectories2016(QStringList& folders, bool deep, UserInterface& ui);

// The names (no folder part) of the files in `folder` (with or without a trailing separator)
// that match `pattern` (platform::nameMatches) and pass FileExists, hidden ones included, in
// platform::listFolder's order. Names that are not valid in the file system's encoding can't
// be opened again by name and are left out. Throws FileSystemError when the folder can't be
// listed.
QStringList ListFolderFiles(const QString& folder, const QString& pattern);

// An existing regular file (or a link to one); a folder, a missing path, a named pipe, socket
// or device answer no. Never opens the path, never throws.
bool FileExists(const QString& path);

// Whether a name holds a character that the scan does not carry: see
// platform::hasUnusualCharacters.
bool HasUnusualCharacters(const QString& name);
