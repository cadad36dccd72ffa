#include "import/ImportRun.h"

#include "import/ImportSteps.h"

ImportResult runImportOver(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                           std::optional<Connection> opened, std::unique_ptr<FileReadAhead> first) {
    ImportSteps run(choices, frontEnd, std::move(opened), std::move(first));
    try {
        return run.execute();
    } catch (...) {
        // Every step catches its own failures; this only guards the promise never to throw.
        ImportResult result;
        result.errorsReported = 1;
        return result;
    }
}

std::unique_ptr<FileReadAhead> readFirstFileAhead(const ImportChoices& choices) {
    if (choices.files.isEmpty())
        return nullptr;
    // As the turn reads its file (ImportSteps).
    auto first = std::make_unique<FileReadAhead>(FileReadAhead::Reading::of(choices, true));
    first->start(choices.files.front());
    return first;
}
