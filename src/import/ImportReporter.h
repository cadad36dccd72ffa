#pragma once

#include "database/ServerNotice.h"
#include "import/ImportFrontEnd.h"
#include "report/RunReport.h"
#include "sending/LineRejection.h"
#include "shell/UserInterface.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>

class InputFile;

// What a run tells its front end about the files it takes. The run's step runner reports
// through it: every "Application Error" is counted and handed on with the file and line it
// belongs to (set by the run as it goes) and with its description apart. Files passed over without
// a rejection are handed on with their reason and counted once per file. Messages and input boxes
// pass straight on. Everything rejected, not sent, passed over or failed also goes into the
// run's report (RunReport), which keeps the rejected records' lines in the rejects folder given
// (none: in temporary files). Used on the run's thread only.
class ImportReporter : public UserInterface {
public:
    ImportReporter(ImportFrontEnd& frontEnd, const QString& rejectsFolder)
        : m_frontEnd(frontEnd)
        , m_report(std::make_shared<RunReport>(rejectsFolder)) {}

    void message(const QString& text) override { m_frontEnd.message(text); }
    void applicationError(const QString& text) override;
    void applicationErrorOfStep(const QString& context, int step,
                                const QString& description) override;
    QString inputText(const QString& prompt, const QString& defaultAnswer) override {
        return m_frontEnd.inputText(prompt, defaultAnswer);
    }

    // From here on failures belong to the file at this position of the list, as a whole.
    void beginFile(int position, const QString& path);
    // Failures belong to this line of the file (from 1), or with 0 to the file as a whole.
    void atLine(qint64 line) {
        m_place.line = line;
        m_rejection.reset();
    }
    // The failure reported next is this rejection of the sender's (until atLine()).
    void atRejection(const LineRejection& rejection) {
        m_place.line = rejection.line + 1;
        m_rejection = rejection;
    }
    // The file's lines are all sent: the file, read as the run read it, gives the report its
    // rejected records' lines; headerLine: its first line was a header, no row. Before the
    // file is closed.
    void keepRejected(InputFile& file, bool headerLine);
    // Failures belong to no file.
    void endFile();

    // The run is over with these counts: the report, for the front end.
    std::shared_ptr<RunReport> finishReport(int filesImported, int filesListed, qint64 rowsIn);

    // The reasons for passing over the file whose turn it is.
    //
    // The file could not be opened or read: text is the complete "Application Error" text of
    // the step that failed, description what failed (the file system's words). Shown as any
    // "Application Error" in the windows, but counted as a file passed over, not an error.
    void unreadable(const QString& text, const QString& description);
    // The file has no line at all (noLines), or its first line is empty: it gives no columns.
    void noColumns(bool noLines);
    // A compressed file's content broke off before its end (InputFile::Checked::damage): told
    // as unreadable() tells a file, at the line firstNotRead; counted as passed over, although
    // its lines before that line are sent.
    void brokenOff(const QString& text, const QString& description, qint64 firstNotRead);
    // The first line's fields can't name the columns of a table (HeaderColumns::problem()).
    void unusableHeader(const QString& problem);
    void tableAlreadyListed(const QString& table);
    void templateEmpty();
    void columnNameMissing(qsizetype column);
    // The server rejected the file's CREATE TABLE (already reported): a table or view of that
    // name may exist that this run did not create, so none of the file's rows is sent. Shows
    // one message; not counted as passed over, as the rejection was reported as an error.
    void tableNotCreated(const QString& table);
    // Also shows the message that the columns must be identical.
    void columnCountsDiffer(const QString& separator, qsizetype fileColumns, const QString& table,
                            int tableColumns);
    // The file's fields can't be planned into the table's columns (ColumnPlan::problem()).
    void columnsUnplanned(const QString& problem) { passedOverWithMessage(problem); }
    // Lines of the file that had fewer than two fields and were not sent. When no line of the
    // file was sent, the user is also told (a message) that no line held the separator.
    void linesWithoutSeparator(qint64 lines, bool noneSent, const QString& separator);

    // A notice the server sent over the connection of the file whose turn it is, handed on
    // with the file's path. Left out outside a file's turn, and when it announces the end of
    // the connection, which the run's reconnecting answers.
    void serverNotice(const ServerNotice& notice);

    int errors() const { return m_errors; }
    int filesPassedOver() const { return m_filesPassedOver; }

private:
    void passedOver(const QString& reason, qint64 lines = 0);
    QString causeOf(const QString& description) const;
    // Passed over with a message box of its own in the windows.
    void passedOverWithMessage(const QString& reason);
    // Hands a failure on to the front end and the report.
    void reportFailure(const QString& description, const QString& text);
    // Puts something into the report; a report that can't be written is told once as an error.
    void intoReport(const std::function<void(RunReport&)>& put);

    ImportFrontEnd& m_frontEnd;
    std::shared_ptr<RunReport> m_report;
    std::optional<LineRejection> m_rejection;
    bool m_reportFailed = false;
    FailurePlace m_place; // the path is empty outside a file's turn
    int m_position = 0;
    int m_lastPassedOver = 0; // position of the last file counted as passed over
    int m_errors = 0;
    int m_filesPassedOver = 0;
};
