#include "import/FileIntake.h"

#include "import/ImportReporter.h"
#include "shell/ApplicationError.h"
#include "shell/StepRunner.h"
#include "textfile/InputFile.h"

FileIntake::FileIntake(StepRunner& run, ImportReporter& ui, ImportFrontEnd& frontEnd)
    : m_run(run)
    , m_ui(ui)
    , m_frontEnd(frontEnd) {}

FileIntake::Outcome FileIntake::take(std::unique_ptr<InputFile>& input, const QString& path,
                                     const std::function<bool()>& cancelled,
                                     std::optional<FileReadAhead::Ready> ahead) {
    if (ahead) {
        input = std::move(ahead->file); // where a file sent ahead is read from
        for (const int step : {124, 136, 138})
            m_run.begin(step);
        return told(ahead->checked, path);
    }
    InputFile& file = *input;
    bool stopped = false;
    if (!readable(124, [&] { stopped = !file.open(path, cancelled); }))
        return Outcome::PassedOver;
    if (stopped)
        return Outcome::Stopped;
    if (!readable(136, [&] { file.readHeader(); }))
        return Outcome::PassedOver;
    if (file.noLines() || file.firstLineEmpty()) {
        m_ui.noColumns(file.noLines());
        return Outcome::PassedOver;
    }
    if (!m_run.step(138, [&] { file.checkWidth(); }))
        return Outcome::EndRun;
    InputFile::Checked checked;
    if (!readable(138, [&] { checked = file.check(cancelled, cancelled); }))
        return Outcome::PassedOver;
    return told(checked, path);
}

FileIntake::Outcome FileIntake::told(const InputFile::Checked& checked, const QString& path) {
    if (checked.report) {
        m_frontEnd.fieldCountReport(*checked.report);
        return Outcome::EndRun;
    }
    if (checked.cancelled)
        return Outcome::Stopped;
    // Once the file passed, the user is told about lines that were not read as the rest of
    // the file was.
    for (const QString& note : checked.notes)
        m_ui.message(note);
    if (!checked.damage.isEmpty()) {
        const QString description =
            QStringLiteral("The compressed content of %1 breaks off after line %2 (%3): line %4 "
                           "and what follows could not be read.")
                .arg(path)
                .arg(checked.firstLineNotRead - 1)
                .arg(checked.damage)
                .arg(checked.firstLineNotRead);
        m_ui.brokenOff(applicationErrorText(m_run.context(), 138, description), description,
                       checked.firstLineNotRead);
    }
    return Outcome::Send;
}

bool FileIntake::readable(int step, const std::function<void()>& work) {
    m_run.begin(step);
    try {
        work();
        return true;
    } catch (...) {
        const QString description = StepRunner::describe(std::current_exception());
        m_ui.unreadable(applicationErrorText(m_run.context(), step, description), description);
        return false;
    }
}
