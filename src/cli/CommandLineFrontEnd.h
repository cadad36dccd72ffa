#pragma once

#include "import/ImportFrontEnd.h"
#include "import/ProgressMeter.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

// The import's front end on a terminal: plain messages and the closing line to standard
// output, errors, the field-count report and the files passed over to standard error (line
// breaks as "\n", control characters made visible). An error is one line "PLACE: " followed by
// what briefErrorLines() keeps of its description, and a second line with the same beginning
// for the server's DETAIL; PLACE is "PATH:LINE" for a line of a file (counted from 1), "PATH"
// for the file as a whole, "quenmarl-cli" outside any file. The field-count report is one line
// "PATH:LINE: RECORD", the line counted from 1 too. A file passed over gives one line
// "PATH: passed over: REASON". A run that closes with "Done." or "Table(s) already exist."
// although something was rejected, reported or passed over closes with one line instead that
// counts what went in and what did not (closing()).
//
// With fullMessages, errors, the report and the closing message are the windows' texts instead:
// the whole "Application Error" text after a line "PATH:LINE:" or "PATH:" (none outside a
// file), then a blank line; the report as "PATH:" and "Line no N: RECORD", N counted from 0.
//
// After a run that left something out (a rejected or unsent row, a file or lines passed over, an
// error), also one stopped, one line on standard error sums it up (RunReport::summary()),
// "quenmarl-cli: " first; setQuiet() leaves it out.
//
// Input boxes for column names are answered from a fixed list, from its start again for every
// file; past its end the answer is empty.
//
// With showProgress (for a terminal), the progress is one line on standard error, rewritten
// in place and wiped before any other text. A stop is asked for by Ctrl+C, SIGTERM or SIGHUP,
// once platform::catchInterrupt() has been called.
class CommandLineFrontEnd : public ImportFrontEnd {
public:
    CommandLineFrontEnd(QStringList columnNames, bool showProgress, bool fullMessages);

    void message(const QString& text) override;
    void applicationError(const QString& text) override;
    void applicationErrorAt(const FailurePlace& place, const QString& description,
                            const QString& text) override;
    void closing(const ImportResult& result, const QString& text) override;
    void runReport(const std::shared_ptr<RunReport>& report) override;
    void setQuiet(bool quiet) { m_quiet = quiet; }
    void passedOver(const QString& path, const QString& reason) override;
    // Left out: the passed-over line that follows names the file and the reason.
    void unreadableFile(const FailurePlace&, const QString&, const QString&) override {}
    void passedOverMessage(const QString&) override {}
    // On standard error: "PATH: " and the notice ("NOTICE:  ...").
    void serverNotice(const QString& path, const QString& text) override;
    void namesInAnotherOrder(const QString& path, const QString& table) override;
    QString inputText(const QString& prompt, const QString& defaultAnswer) override;
    void fieldCountReport(const FieldCountReport& report) override;
    void setBusy(bool) override {}
    void tableListed(const QString&) override {}
    void progress(const ImportProgress& progress) override;
    bool cancelRequested() override;

private:
    void wipeProgress();

    QStringList m_columnNames;
    bool m_showProgress;
    bool m_fullMessages;
    bool m_quiet = false;
    ProgressMeter m_meter;
    QElapsedTimer m_clock;
    qsizetype m_progressWidth = 0; // characters of the progress line on the terminal
    qsizetype m_nextAnswer = 0;
    int m_file = 0;
    QString m_path; // the file whose turn it is, from the run's progress reports
    QTextStream m_out;
    QTextStream m_err;
};
