#pragma once

#include "database/Connection.h"
#include "import/FileReadAhead.h"
#include "import/ImportChoices.h"
#include "parallel/OpenedAhead.h"

#include <QtGlobal>
#include <memory>
#include <optional>

class ImportFrontEnd;

// How a run ended.
enum class ImportOutcome {
    StartCheckFailed, // "No files added.", "Please select a table." or "Table name already exists."
    Done,             // closing message "Done."
    TablesExisted,    // closing message "Table(s) already exist."
    StoppedByFieldCount, // the field-count report ended the run; no closing message
    Cancelled,           // the user stopped the run; closing message "Import stopped. ..." with the
                         // files and rows imported until then
};

struct ImportResult {
    ImportOutcome outcome = ImportOutcome::StartCheckFailed;
    int errorsReported = 0;  // "Application Error" messages shown during the run
    int filesImported = 0;   // files whose data lines were all sent (not those passed over)
    qint64 rowsSent = 0;     // rows the server accepted
    int filesPassedOver = 0; // files of which some or all lines were passed over (passedOver())
    int filesListed = 0;     // files in the run's list
};

// The import run: the start checks, then every file of the list in order, then the closing
// message (ImportFrontEnd::closing()), all through the front end. Runs on the calling thread;
// never throws. Where a connection was opened with the choices' settings (for the table list)
// and ran nothing but queries that read, the first file takes it as a new one
// (RunConnection::adopt()), sparing the opening of another; where the first file was read
// ahead (readFirstFileAhead()), its turn takes what that reading found.
// Where the further connections of files in ranges began to open (openLanesEarly()), the run
// takes them.
ImportResult runImportOver(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                           std::optional<Connection> opened,
                           std::unique_ptr<FileReadAhead> first = nullptr,
                           std::unique_ptr<OpenedAhead> lanes = nullptr);
// Starts reading and checking the first file of the choices' list on a thread of its own, so
// that this goes on while the front end logs in and lists the tables; nothing is shown from
// it before the file's turn. Nothing when the list is empty.
std::unique_ptr<FileReadAhead> readFirstFileAhead(const ImportChoices& choices);
// Starts opening the further connections that a file of the list going in ranges will take,
// each on a thread of its own, so that their logins go on while the front end lists the tables
// and the run makes the first table: a lane that must wait for its login holds back the file's
// first range too. Called once the front end's own connection is open, so that a role allowed
// few connections gives that one first. Nothing where no file goes in ranges.
std::unique_ptr<OpenedAhead> openLanesEarly(const ImportChoices& choices);
inline ImportResult runImport(const ImportChoices& choices, ImportFrontEnd& frontEnd) {
    return runImportOver(choices, frontEnd, std::nullopt);
}
