// quenmarl-cli: the import run from a terminal, for scripts and scheduled jobs.

#include "cli/CommandLine.h"
#include "cli/CommandLineFrontEnd.h"
#include "cli/PasswordChoice.h"
#include "cli/TerminalText.h"
#include "database/Connection.h"
#include "database/PostgreSQL.h"
#include "database/TableList.h"
#include "import/ImportRun.h"
#include "report/RejectFolder.h"
#include "shell/Failure.h"
#include "shell/Platform.h"
#include "shell/Settings.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <optional>

namespace {

// The connection values of the run, with the password chosen by the rules of choosePassword().
ConnectionSettings runConnection(const CommandLine& line, QTextStream& err) {
    PasswordSources sources;
    sources.given = line.password;
    sources.environment = qEnvironmentVariable("PGPASSWORD");
    sources.stored = ConnectionSettings::fromStore();
    sources.target = line.connection(sources.stored);
    sources.storeFile = settings::storeFile();
    sources.storeOpenToOthers = platform::openToOthers(sources.storeFile);
    const PasswordChoice choice = choosePassword(sources);
    if (!choice.warning.isEmpty())
        err << terminalLine(choice.warning) << '\n';
    ConnectionSettings settings = sources.target;
    settings.password = choice.password;
    return settings;
}

// Where libpq was asked to connect, for a message; an empty value is libpq's default.
QString serverText(const ConnectionSettings& settings) {
    QString text = settings.server.isEmpty() ? QStringLiteral("the default host")
                                             : QStringLiteral("host ") + settings.server;
    text += settings.port.isEmpty() ? QStringLiteral(", the default port")
                                    : QStringLiteral(", port ") + settings.port;
    if (!settings.user.isEmpty())
        text += QStringLiteral(" as user ") + settings.user;
    if (!settings.database.isEmpty())
        text += QStringLiteral(", database ") + settings.database;
    return text;
}

int exitStatus(const ImportResult& result) {
    switch (result.outcome) {
    case ImportOutcome::StartCheckFailed:
        return ExitStatus::Usage;
    case ImportOutcome::StoppedByFieldCount:
        return ExitStatus::FieldCount;
    case ImportOutcome::Cancelled:
        return ExitStatus::stoppedBy(platform::interruptSignal());
    case ImportOutcome::Done:
    case ImportOutcome::TablesExisted:
        break;
    }
    if (result.errorsReported > 0)
        return ExitStatus::Errors;
    return result.filesPassedOver > 0 ? ExitStatus::PassedOver : ExitStatus::Success;
}

// The rejects folder, made when missing; false (with the usage error printed) when it can't be.
bool makeRejectsFolder(const CommandLine& line, QTextStream& err) {
    if (!line.rejectsFolder)
        return true;
    try {
        RejectFolder(*line.rejectsFolder).make();
        return true;
    } catch (const Failure& failure) {
        err << "quenmarl-cli: --rejects: " << terminalLine(failure.description())
            << "\nTry 'quenmarl-cli --help'.\n";
        return false;
    }
}

// The tables of the run: the template, or the table to append to among those listed, named as
// the list shows it or as SQL names it (FindListedTable()). None is selected when the name is
// unknown or the lookup fails; the run's start check then ends it.
void chooseTables(const CommandLine& line, const QStringList& tables, Connection& connection,
                  ImportChoices& choices, QTextStream& err) {
    choices.existingTables = tables;
    if (line.createTemplate) {
        choices.tableTemplate = *line.createTemplate;
        choices.names = line.columnNames ? ImportChoices::ColumnNames::Typed
                                         : ImportChoices::ColumnNames::FirstLine;
        return;
    }
    const QString& name = *line.appendTable;
    try {
        choices.selectedTable = FindListedTable(connection, name, tables);
    } catch (const std::exception& error) {
        if (!line.files.isEmpty())
            err << "quenmarl-cli: could not look up the table " << terminalLine(name) << ": "
                << terminalText(QString::fromUtf8(error.what())) << '\n';
        return;
    }
    if (choices.selectedTable < 0 && !line.files.isEmpty())
        err << "quenmarl-cli: the database has no table named " << terminalLine(name) << '\n';
}

// What the command line asks of the run, but the tables (chooseTables()); the password as
// runConnection() chooses it.
ImportChoices choicesOf(const CommandLine& line, QTextStream& err) {
    ImportChoices choices;
    choices.connection = runConnection(line, err);
    choices.files = line.files;
    choices.separator = line.separator;
    choices.rowByRow = line.rowByRow;
    choices.detectTypes = line.detectTypes;
    choices.jobs = line.jobs.value_or(ImportChoices::defaultJobs());
    choices.quotedFields = line.quotedFields;
    choices.firstLineIsHeader = !line.noHeader;
    choices.rejectsFolder = line.rejectsFolder.value_or(QString());
    choices.matchNames = line.matchNames;
    choices.fileColumn = line.fileColumn.value_or(QString());
    choices.mode =
        line.createTemplate ? ImportChoices::TableMode::Create : ImportChoices::TableMode::Append;
    return choices;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    const CommandLine line = parseCommandLine(arguments);
    if (line.action == CommandLine::Action::Help) {
        QTextStream(stdout) << usageText();
        return ExitStatus::Success;
    }
    if (line.action == CommandLine::Action::Version) {
        QTextStream(stdout) << "quenmarl-cli (Quenmarl) " << QUENMARL_VERSION << '\n';
        return ExitStatus::Success;
    }
    if (line.action == CommandLine::Action::BadUsage) {
        err << "quenmarl-cli: " << terminalLine(line.problem) << "\nTry 'quenmarl-cli --help'.\n";
        return ExitStatus::Usage;
    }
    if (!makeRejectsFolder(line, err))
        return ExitStatus::Usage;

    ImportChoices choices = choicesOf(line, err);
    // The first file is read and checked while the program logs in. Until it is logged in, a
    // stop ends it at once (nothing is begun); from then on, a stop stops the run.
    std::unique_ptr<FileReadAhead> first = readFirstFileAhead(choices);
    // One connection lists the tables and, handed to the run, serves its first file; the
    // connections of files in ranges begin to open as soon as it is open.
    StringTableList tables;
    std::optional<Connection> opened;
    std::unique_ptr<OpenedAhead> lanes;
    try {
        opened.emplace(Connection::open(choices.connection));
        lanes = openLanesEarly(choices);
        platform::catchInterrupt();
        ListDatabaseTables(*opened, tables);
    } catch (const std::exception& error) {
        const QString words = terminalText(QString::fromUtf8(error.what()));
        // When a second attempt can't connect either, the connection is what failed.
        if (!CanConnect(choices.connection)) {
            err << "quenmarl-cli: could not connect to the database server at "
                << terminalLine(serverText(choices.connection)) << ":\n"
                << words << '\n';
            return ExitStatus::Usage;
        }
        err << "quenmarl-cli: could not read the list of tables: " << words << '\n';
        return ExitStatus::Errors;
    }
    chooseTables(line, tables.names, *opened, choices, err);
    err.flush();

    CommandLineFrontEnd frontEnd(line.columnNames.value_or(QStringList()),
                                 platform::standardErrorIsTerminal(), line.fullMessages);
    frontEnd.setQuiet(line.quiet);
    return exitStatus(
        runImportOver(choices, frontEnd, std::move(opened), std::move(first), std::move(lanes)));
}
