#pragma once

#include "import/FileReadAhead.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ImportFrontEnd;
class ImportReporter;
class InputFile;
class StepRunner;

// The start of a file's turn, steps 124 to 138 of the run: the file is opened, its first line
// read and its field counts checked.
//  - A file that can't be opened or read (missing, a folder, refused, a read error) is passed
//    over: the "Application Error" of the step that failed is shown as the windows show any
//    other, but counted as a file passed over, and the run goes on with the next file.
//  - A file without lines, or whose first line is empty, gives no columns and is passed over
//    with a message, before the check, which would count every data line against no columns.
//  - A first line wider than the check takes, or a record the check reports, ends the run.
//  - A compressed file whose content breaks off before its end is told as a file that can't be
//    read is, at the first line not read; its lines before that are sent.
// Used on the run's thread; reports through the reporter and the front end.
class FileIntake {
public:
    enum class Outcome {
        Send,       // the file passed: its lines are to be sent
        PassedOver, // told, and counted as passed over
        Stopped,    // the user stopped the run while the file was awaited
        EndRun,     // the field-count report, or a failed check, ends the run
    };

    FileIntake(StepRunner& run, ImportReporter& ui, ImportFrontEnd& frontEnd);

    // With what was read ahead of the file (FileReadAhead), that becomes the file, and what
    // its reading found is told here as if it was read now.
    Outcome take(std::unique_ptr<InputFile>& file, const QString& path,
                 const std::function<bool()>& cancelled,
                 std::optional<FileReadAhead::Ready> ahead = std::nullopt);

private:
    // What the check found, told: the report ends the run, the notes are shown.
    Outcome told(const InputFile::Checked& checked, const QString& path);
    // Runs the step's reading; false, with the file passed over, when it throws.
    bool readable(int step, const std::function<void()>& work);

    StepRunner& m_run;
    ImportReporter& m_ui;
    ImportFrontEnd& m_frontEnd;
};
