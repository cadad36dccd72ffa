// quenmarl-cli: the import run from a terminal, for scripts and scheduled jobs.

#include "cli/CommandLine.h"
#include "cli/CommandLineFrontEnd.h"
#include "database/PostgreSQL.h"
#include "database/TableList.h"
#include "import/ImportRun.h"
#include "shell/Platform.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

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
    if (line.action == CommandLine::Action::BadUsage) {
        err << "quenmarl-cli: " << line.problem << "\n\n" << usageText();
        return ExitStatus::Usage;
    }

    ImportChoices choices;
    choices.connection = line.connection(ConnectionSettings::fromStore());
    choices.files = line.files;
    choices.separator = line.separator;
    choices.rowByRow = line.rowByRow;

    StringTableList tables;
    try {
        ListDatabaseTables(choices.connection, tables);
    } catch (const std::exception& error) {
        err << "quenmarl-cli: could not read the list of tables: "
            << QString::fromUtf8(error.what()) << '\n';
        return ExitStatus::Errors;
    }
    choices.existingTables = tables.names;

    if (line.createTemplate) {
        choices.mode = ImportChoices::TableMode::Create;
        choices.tableTemplate = *line.createTemplate;
        choices.names = line.columnNames ? ImportChoices::ColumnNames::Typed
                                         : ImportChoices::ColumnNames::FirstLine;
    } else {
        choices.mode = ImportChoices::TableMode::Append;
        choices.selectedTable = static_cast<int>(tables.names.indexOf(*line.appendTable));
        if (choices.selectedTable < 0 && !line.files.isEmpty())
            err << "quenmarl-cli: the database has no table named " << *line.appendTable << '\n';
    }

    CommandLineFrontEnd frontEnd(line.columnNames.value_or(QStringList()),
                                 platform::standardErrorIsTerminal());
    platform::catchInterrupt();
    const ImportResult result = runImport(choices, frontEnd);
    switch (result.outcome) {
    case ImportOutcome::StartCheckFailed:
        return ExitStatus::Usage;
    case ImportOutcome::StoppedByFieldCount:
        return ExitStatus::FieldCount;
    case ImportOutcome::Cancelled:
        return ExitStatus::Stopped;
    case ImportOutcome::Done:
    case ImportOutcome::TablesExisted:
        break;
    }
    return result.errorsReported > 0 ? ExitStatus::Errors : ExitStatus::Success;
}
