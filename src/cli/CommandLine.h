#pragma once

#include "database/ConnectionSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks for, before the settings store fills in what it leaves out.
struct CommandLine {
    enum class Action { Import, Help, Version, BadUsage };

    Action action = Action::BadUsage;
    QString problem; // why the usage is bad

    // Connection values given on the command line; the others come from the settings store.
    std::optional<QString> server, port, user, password, database;
    QString separator = QStringLiteral(","); // as the import takes it: a Tab for each \t typed
    std::optional<QString> createTemplate;
    std::optional<QString> appendTable;
    std::optional<QStringList> columnNames; // the typed answers, in question order
    bool rowByRow = false;
    std::optional<int> jobs;            // --jobs N: connections at once
    static constexpr int MostJobs = 64; // as ImportChoices::MostJobs
    bool quotedFields = false;          // --quoted
    bool noHeader = false;     // --no-header: with --append, each file's first line is a row
    bool fullMessages = false; // --full-messages: the windows' texts for errors and closing
    bool quiet = false;        // --quiet: no summary line after the run
    std::optional<QString> rejectsFolder; // --rejects DIR
    bool matchNames = false;              // --match-names: fields go to the columns they name
    bool detectTypes = false;             // --detect-types: typed columns for new tables
    std::optional<QString> fileColumn;    // --file-column NAME: receives each file's path
    QStringList files;                    // "-" is given as the path of standard input

    // The connection settings: the given values over the stored ones.
    ConnectionSettings connection(const ConnectionSettings& stored) const;
};

// Reads the arguments (without the program name). Options take their value as the next
// argument or after "="; "--" ends the options.
CommandLine parseCommandLine(const QStringList& arguments);

// The text --help prints.
QString usageText();

// Exit statuses. Only Success means that every data line of every file is in the database.
namespace ExitStatus {
inline constexpr int Success = 0; // the run finished; nothing was rejected or passed over
inline constexpr int Errors = 1;  // an error was reported (a rejected row, ...); the run went on
// Bad usage, or a failed start: no connection to the server, no files, no table selected,
// the table name exists.
inline constexpr int Usage = 2;
inline constexpr int FieldCount = 3; // the field-count check ended the run
// The run finished and nothing was rejected, but files or lines were passed over (a file that
// could not be opened or read, an empty file or first line, a first line that can't name the
// columns, a table name already listed, a column-count mismatch, missing column names, an
// empty template, no line holding the separator); each such file is named on standard error.
inline constexpr int PassedOver = 4;
// A signal stopped the run: 128 + its number, as shells report a program that signal ended
// (130 for Ctrl+C, SIGINT; 143 for SIGTERM; 129 for SIGHUP).
inline constexpr int Stopped = 130;
constexpr int stoppedBy(int signal) {
    return signal > 0 ? 128 + signal : Stopped;
}
} // namespace ExitStatus
