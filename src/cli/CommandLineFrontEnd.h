#pragma once

#include "import/ImportFrontEnd.h"
#include "import/ProgressMeter.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTextStream>

// The import's front end on a terminal: plain messages to standard output, "Application
// Error" texts, the field-count report and the files passed over to standard error (line
// breaks as "\n", control characters made visible). A failure that belongs to a file is
// preceded by a line "PATH:LINE:" (the line counted from 1), or "PATH:" when it belongs to
// the file as a whole; so is the field-count report, which names its line itself. A file
// passed over gives one line "PATH: passed over: REASON". Input boxes for column names are
// answered from a fixed list, from its start again for every file; past its end the answer is
// empty.
//
// With showProgress (for a terminal), the progress is one line on standard error, rewritten
// in place and wiped before any other text. A stop is asked for by Ctrl+C, once
// platform::catchInterrupt() has been called.
class CommandLineFrontEnd : public ImportFrontEnd {
public:
    explicit CommandLineFrontEnd(QStringList columnNames, bool showProgress = false);

    void message(const QString& text) override;
    void applicationError(const QString& text) override;
    void applicationErrorAt(const FailurePlace& place, const QString& text) override;
    void passedOver(const QString& path, const QString& reason) override;
    // Left out: the passed-over line that follows names the file and the reason.
    void unreadableFile(const FailurePlace&, const QString&) override {}
    void passedOverMessage(const QString&) override {}
    // On standard error: "PATH: " and the notice ("NOTICE:  ...").
    void serverNotice(const QString& path, const QString& text) override;
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
    ProgressMeter m_meter;
    QElapsedTimer m_clock;
    qsizetype m_progressWidth = 0; // characters of the progress line on the terminal
    qsizetype m_nextAnswer = 0;
    int m_file = 0;
    QString m_path; // the file whose turn it is, from the run's progress reports
    QTextStream m_out;
    QTextStream m_err;
};
