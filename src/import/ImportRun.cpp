#include "import/ImportRun.h"

#include "import/ImportSteps.h"

ImportResult runImportOver(const ImportChoices& choices, ImportFrontEnd& frontEnd,
                           std::optional<Connection> opened, std::unique_ptr<FileReadAhead> first,
                           std::unique_ptr<OpenedAhead> lanes) {
    ImportSteps run(choices, frontEnd, std::move(opened), std::move(first), std::move(lanes));
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

std::unique_ptr<OpenedAhead> openLanesEarly(const ImportChoices& choices) {
    if (!ImportSteps::opensLanes(choices, RangeChoice(choices.files, choices.jobs)))
        return nullptr;
    auto lanes = std::make_unique<OpenedAhead>();
    lanes->start(choices.connection, choices.jobs - 1);
    return lanes;
}
