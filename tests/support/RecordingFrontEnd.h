#pragma once

#include "import/ImportFrontEnd.h"
#include "report/RunReport.h"

#include <QStringList>

// Records everything an import run shows, in one ordered log and per kind (the files passed
// over and the server's notices in the log only; the closing message as a message, with the
// result it came with), and answers input boxes from a queue (the empty text, as Cancel, once
// the queue is empty). Can ask the run to stop once a number of rows were reported as sent.
class RecordingFrontEnd : public ImportFrontEnd {
public:
    void message(const QString& text) override {
        messages.append(text);
        log.append(QStringLiteral("message: ") + text);
    }
    void applicationError(const QString& text) override {
        errors.append(text);
        errorPlaces.append(QString());
        log.append(QStringLiteral("error: ") + text);
    }
    void applicationErrorAt(const FailurePlace& place, const QString& description,
                            const QString& text) override {
        applicationError(text);
        if (!place.path.isEmpty())
            errorPlaces.last() = place.path + QLatin1Char(':') +
                                 (place.line > 0 ? QString::number(place.line) : QString());
        descriptions.append(description);
    }
    void closing(const ImportResult& result, const QString& text) override {
        closings.append(result);
        ImportFrontEnd::closing(result, text);
    }
    void passedOver(const QString& path, const QString& reason) override {
        log.append(QStringLiteral("passed over: ") + path + QStringLiteral(": ") + reason);
    }
    void serverNotice(const QString& path, const QString& text) override {
        log.append(QStringLiteral("notice: ") + path + QStringLiteral(": ") + text);
    }
    QString inputText(const QString& prompt, const QString& defaultAnswer) override {
        prompts.append(prompt);
        defaults.append(defaultAnswer);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void fieldCountReport(const FieldCountReport& report) override {
        reports.append(report.windowText());
        log.append(QStringLiteral("report: ") + report.windowText());
    }
    void setBusy(bool busy) override { busyChanges.append(busy); }
    void tableListed(const QString& name) override { listed.append(name); }
    void progress(const ImportProgress& progress) override {
        lastProgress = progress;
        progressLog.append(progress);
        ++progressCalls;
        if (stopAfterRows >= 0 && progress.rowsSent >= stopAfterRows)
            stopRequested = true;
    }
    bool cancelRequested() override { return stopRequested; }
    void runReport(const std::shared_ptr<RunReport>& made) override { report = made; }

    std::shared_ptr<RunReport> report; // the run's, once it closed
    QStringList log;
    QStringList messages;
    QStringList errors;
    QStringList errorPlaces;      // beside each error: "PATH:LINE", "PATH:" or empty (no file)
    QStringList descriptions;     // beside each error of the run: its description
    QList<ImportResult> closings; // what closing() was given, beside its message
    QStringList prompts;
    QStringList defaults;
    QStringList answers;
    QStringList reports;
    QStringList listed;
    QList<bool> busyChanges;
    ImportProgress lastProgress;
    QList<ImportProgress> progressLog;
    int progressCalls = 0;
    qint64 stopAfterRows = -1;
    bool stopRequested = false;
};
