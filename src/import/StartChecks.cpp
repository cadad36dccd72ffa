#include "import/StartChecks.h"

#include "import/ImportChoices.h"
#include "import/StoredTableName.h"
#include "shell/StepRunner.h"
#include "shell/UserInterface.h"

bool passStartChecks(const ImportChoices& choices, const QStringList& tables, StepRunner& run,
                     UserInterface& ui) {
    if (run.test(106, [&] { return choices.files.isEmpty(); })) {
        ui.message(QStringLiteral("No files added."));
        return false;
    }
    if (run.test(108, [&] {
            return choices.mode == ImportChoices::TableMode::Append &&
                   (choices.selectedTable < 0 ||
                    choices.selectedTable >= choices.existingTables.size());
        })) {
        ui.message(QStringLiteral("Please select a table."));
        return false;
    }
    if (run.test(110, [&] {
            return choices.mode == ImportChoices::TableMode::Create &&
                   StoredTableName(choices.tableTemplate).isListedIn(tables);
        })) {
        ui.message(QStringLiteral("Table name already exists."));
        return false;
    }
    return true;
}
