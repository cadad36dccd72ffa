#pragma once

#include "import/ImportRun.h"
#include "shell/UserInterface.h"
#include "textfile/FieldCountCheck.h"

#include <QString>
#include <QtGlobal>
#include <memory>

class RunReport;

// Where a run stands, for a progress display.
struct ImportProgress {
    int file = 0;           // position of the file being imported, from 1
    int files = 0;          // files in the run
    QString path;           // the file being imported
    qint64 rowsSent = 0;    // rows of this run the server has accepted so far
    int waitingSeconds = 0; // when not 0: the connection broke and the server is waited for,
                            // up to this many seconds
};

// The file a reported failure belongs to and, when it belongs to one of the file's lines (a
// rejected row), that line counted from 1 as an editor counts; 0 when it belongs to the file
// as a whole (its connection, its table). The path is empty when it belongs to no file.
struct FailurePlace {
    QString path;
    qint64 line = 0;
};

// The front end of an import run: the GUI, the command line or a test. Calls come from the
// thread that runs the import and return once the user has answered; a GUI front end shows
// them on its own thread while the run waits.
class ImportFrontEnd : public UserInterface {
public:
    // Shows the field-count report (the results window) and returns once it is closed.
    virtual void fieldCountReport(const FieldCountReport& report) = 0;

    // The busy pointer, on for each file's turn and off after it.
    virtual void setBusy(bool busy) = 0;

    // A new table name was put at the top of the list of existing tables.
    virtual void tableListed(const QString& name) = 0;

    virtual void progress(const ImportProgress& progress) = 0;

    // An "Application Error" of the run: where it belongs, the failure's description (the
    // server's, the system's or the run's own words) and the complete text as
    // applicationError() takes it (the description, the step, the request to e-mail). The
    // windows show the complete text as any other; the command line names the place and shows
    // the description.
    virtual void applicationErrorAt(const FailurePlace& place, const QString& description,
                                    const QString& text) {
        Q_UNUSED(place);
        Q_UNUSED(description);
        applicationError(text);
    }

    // The server (or the run, for a NUL character) rejected the record that begins at the
    // place's line, and the run goes on with the next: an "Application Error" as
    // applicationErrorAt() takes it, which it is by default. The windows offer to list the
    // rest of the run's rejected records in the report instead of a box for each.
    virtual void rowRejected(const FailurePlace& place, const QString& description,
                             const QString& text) {
        applicationErrorAt(place, description, text);
    }

    // The run is over and closes (outcome Done, TablesExisted or Cancelled; not after a failed
    // start check nor after the field-count report): how it ended and what it counted, with
    // the closing message the windows show ("Done.", "Table(s) already exist.", "Import
    // stopped. ..."). By default that message is shown.
    virtual void closing(const ImportResult& result, const QString& text) {
        Q_UNUSED(result);
        message(text);
    }

    // After closing(), or after the field-count report ended the run: the run's report
    // (RunReport), empty when nothing was rejected, not sent, passed over or failed. The front
    // end may keep it.
    virtual void runReport(const std::shared_ptr<RunReport>& report) { Q_UNUSED(report); }

    // A file, or some of its lines, was passed over although the server rejected nothing (a
    // table name already listed, a column-count mismatch, no line with two fields, ...). The
    // reason is one sentence. The run goes on. The windows show nothing for it; the command
    // line names the file.
    virtual void passedOver(const QString& path, const QString& reason) {
        Q_UNUSED(path);
        Q_UNUSED(reason);
    }

    // Append by position: the first line of the file at path names the table's columns, each
    // once, but in another order, so its values go into other columns than their names say.
    // The run goes on. The windows show nothing for it; the command line warns.
    virtual void namesInAnotherOrder(const QString& path, const QString& table) {
        Q_UNUSED(path);
        Q_UNUSED(table);
    }

    // A notice or warning the server sent while the file at path had its turn (a trigger's
    // RAISE NOTICE, ...), as libpq words it ("NOTICE:  ..."), possibly over several lines. The
    // windows show nothing for it; the command line names the file.
    virtual void serverNotice(const QString& path, const QString& text) {
        Q_UNUSED(path);
        Q_UNUSED(text);
    }

    // A file that could not be opened or read is passed over (passedOver() follows): the
    // failure as applicationErrorAt() takes it, not counted as an error. The windows show it
    // as any other (the default); the command line leaves it out, as its passed-over line
    // names the file and the cause.
    virtual void unreadableFile(const FailurePlace& place, const QString& description,
                                const QString& text) {
        applicationErrorAt(place, description, text);
    }

    // A file is passed over with a message of its own (passedOver() follows with the reason):
    // an empty file, a first line that can't name a table's columns. The windows show it as a
    // plain message (the default); the command line leaves it out.
    virtual void passedOverMessage(const QString& text) { message(text); }

    // Whether the user asked the run to stop. The run stops after the statement or chunk in
    // flight; everything committed stays.
    virtual bool cancelRequested() { return false; }
};
