#pragma once

#include "database/ConnectionSettings.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks for, before the settings store fills in what it leaves out.
struct CommandLine {
    enum class Action { Import, Help, BadUsage };

    Action action = Action::BadUsage;
    QString problem; // why the usage is bad

    // Connection values given on the command line; the others come from the settings store.
    std::optional<QString> server, port, user, password, database;
    QString separator = QStringLiteral(",");
    std::optional<QString> createTemplate;
    std::optional<QString> appendTable;
    std::optional<QStringList> columnNames; // the typed answers, in question order
    bool rowByRow = false;
    QStringList files;

    // The connection settings: the given values over the stored ones.
    ConnectionSettings connection(const ConnectionSettings& stored) const;
};

// Reads the arguments (without the program name). Options take their value as the next
// argument or after "="; "--" ends the options.
CommandLine parseCommandLine(const QStringList& arguments);

// The text --help prints.
QString usageText();

// Exit statuses.
namespace ExitStatus {
inline constexpr int Success = 0;    // the closing message came and no error was reported
inline constexpr int Errors = 1;     // an error was reported
inline constexpr int Usage = 2;      // bad usage or a failed start check
inline constexpr int FieldCount = 3; // the field-count check ended the run
inline constexpr int Stopped = 130;  // Ctrl+C stopped the run (128 + SIGINT, as shells report)
} // namespace ExitStatus
