#pragma once

#include "shell/UserInterface.h"

#include <QString>
#include <QtGlobal>

// Where a run stands, for a progress display.
struct ImportProgress {
    int file = 0;        // position of the file being imported, from 1
    int files = 0;       // files in the run
    QString path;        // the file being imported
    qint64 rowsSent = 0; // rows of this run the server has accepted so far
};

// The front end of an import run: the GUI, the command line or a test. Calls come from the
// thread that runs the import and return once the user has answered; a GUI front end shows
// them on its own thread while the run waits.
class ImportFrontEnd : public UserInterface {
public:
    // Shows the field-count report (the results window) and returns once it is closed.
    virtual void fieldCountReport(const QString& report) = 0;

    // The busy pointer, on for each file's turn and off after it.
    virtual void setBusy(bool busy) = 0;

    // A new table name was put at the top of the list of existing tables.
    virtual void tableListed(const QString& name) = 0;

    virtual void progress(const ImportProgress& progress) = 0;

    // A file, or some of its lines, was passed over although the server rejected nothing (a
    // table name already listed, a column-count mismatch, no line with two fields, ...). The
    // reason is one sentence. The run goes on. The windows show nothing for it; the command
    // line names the file.
    virtual void passedOver(const QString& path, const QString& reason) {
        Q_UNUSED(path);
        Q_UNUSED(reason);
    }

    // Whether the user asked the run to stop. The run stops after the statement or chunk in
    // flight; everything committed stays.
    virtual bool cancelRequested() { return false; }
};
