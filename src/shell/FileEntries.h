#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class StepRunner;

// How the file list's entries are formed from a folder tree and from the open-file dialog.
// No widgets: the main window's commands call these and append the results in order.

// The entries a folder tree gives: `folder` (as chosen or dropped, without a trailing
// separator, or a root) and all its subfolders found by GetSubDirectories2016, each folder's
// files from ListFolderFiles with `pattern` ("*." + the extension answer, or "*.*" for a
// dropped folder), in that order. A name beginning with "~" is skipped, as is a file whose
// attribute value is exactly 34 (hidden and archive, nothing else; a read-only one, 35, is
// kept); every other existing file is added as NormalizePath of folder, separator and name.
//
// Runs as steps 118 to 138 of the caller's procedure, which reports failures with its own
// context: 118 the new folder collection, 120 the scan (whose own failures it reports with
// its own context), 122 the loop over folders, 124 the file listing (a folder that can't be
// listed adds nothing), 126 the loop over names, 128 the "~" test, 130 the path, 132 the
// existence and attribute test, 134 the addition, 136 the next name, 138 the next folder.
// Never throws. Lets pending events be handled during the scan; when the user ends the program
// meanwhile (run.ui().endRequested()) it returns at once with no entries.
//
// Each entry is handed to `found` (when given) as step 134 adds it, and pending events are
// handled right after, so the caller can show the entry at once and what the user does
// meanwhile (a drop on the list) comes after the entries found so far.
QStringList filesInFolderTree(const QString& folder, const QString& pattern, StepRunner& run,
                              const std::function<void(const QString&)>& found = {});

// The size in characters of the open-file dialog's name buffer.
inline constexpr qsizetype FileDialogBufferSize = 30000;

// The characters the chosen files take in that buffer. Several files: their folder (that of
// the first path), then each name, each followed by one NUL, and a final NUL. One file: its
// path and one NUL. No file: 0.
qsizetype fileDialogBufferLength(const QStringList& chosenPaths);

// Whether the chosen files fit the buffer; when they don't, the command shows its "too many
// files" message and adds nothing.
bool fitsFileDialogBuffer(const QStringList& chosenPaths);

// The entries the dialog's choice adds, in the dialog's order: one file exactly as returned;
// several files as NormalizePath of folder, separator and name, so a root folder gives no
// doubled separator.
QStringList fileDialogEntries(const QStringList& chosenPaths);
