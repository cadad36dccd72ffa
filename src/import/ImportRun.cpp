#include "import/ImportRun.h"

#include "import/ImportSteps.h"

ImportResult runImportOver(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                           std::optional<Connection> opened) {
    ImportSteps run(choices, frontEnd, std::move(opened));
    try {
        return run.execute();
    } catch (...) {
        // Every step catches its own failures; this only guards the promise never to throw.
        ImportResult result;
        result.errorsReported = 1;
        return result;
    }
}
