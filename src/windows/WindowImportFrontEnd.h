#pragma once

#include "import/ImportFrontEnd.h"

#include <QMutex>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

class QWidget;
struct WindowContext;

// The main window as the front end of an import run that works on another thread. Calls come
// from the run's thread; whatever needs the user (message boxes, input boxes, the results
// window, "Application Error") is carried out on the UI thread, in order, while the run waits
// for the answer. A new table name is handed to the UI thread without waiting. The run never
// touches a widget.
//
// Created and destroyed on the UI thread; destroy it only after the run's thread has ended.
class WindowImportFrontEnd : public ImportFrontEnd {
public:
    WindowImportFrontEnd(WindowContext& context, QWidget* window,
                         std::function<void(const QString&)> listTable);

    void message(const QString& text) override;
    void applicationError(const QString& text) override;
    QString inputText(const QString& prompt, const QString& defaultAnswer) override;
    // The "Application Error" box of a rejected row, which offers to list the rest in the run's
    // report; once the user took that offer, later rejected rows of the run show nothing.
    void rowRejected(const FailurePlace& place, const QString& description,
                     const QString& text) override;
    // Kept for takeRunReport(); called on the run's thread before it ends.
    void runReport(const std::shared_ptr<RunReport>& report) override { m_report = report; }
    // UI thread, once the run's thread has ended: the run's report, if it made one.
    std::shared_ptr<RunReport> takeRunReport() { return std::move(m_report); }
    void fieldCountReport(const FieldCountReport& report) override;
    // Hands the run's busy pointer (on for each file's turn) to the UI thread without waiting;
    // it arrives there in order with the run's messages.
    void setBusy(bool busy) override;
    void tableListed(const QString& name) override;
    // Hands the report to the UI thread without waiting. Reports that arrive while one is
    // still on its way replace it, so a slow UI thread sees the latest and the run never
    // queues up behind it.
    void progress(const ImportProgress& progress) override;
    bool cancelRequested() override { return m_stopping || m_cancelled; }

    // UI thread, before the run starts: receives the progress reports on the UI thread.
    void setProgressReceiver(std::function<void(const ImportProgress&)> receive) {
        m_showProgress = std::move(receive);
    }

    // UI thread, before the run starts: receives setBusy() on the UI thread.
    void setBusyReceiver(std::function<void(bool)> receive) { m_setBusy = std::move(receive); }

    // UI thread: the user asked the run to stop. The run ends after the rows in flight and
    // its messages are still shown.
    void cancel() { m_cancelled = true; }

    // UI thread: the window is going away. The run is asked to stop, and from now on every
    // question is answered at once (OK, Cancel) without showing anything.
    void stop() { m_stopping = true; }

    // The object on the UI thread that receives the forwarded calls; the UI thread delivers
    // them with QCoreApplication::sendPostedEvents() while it waits for the run to end.
    QObject* receiver() { return &m_receiver; }

private:
    // Runs the work on the UI thread and returns when it is done.
    void onUiThread(const std::function<void()>& work);

    WindowContext& m_context;
    QWidget* m_window;
    std::function<void(const QString&)> m_listTable;
    QObject m_receiver;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_cancelled{false};
    bool m_listingRejectedRows = false; // run's thread only
    std::shared_ptr<RunReport> m_report;

    std::function<void(const ImportProgress&)> m_showProgress;
    std::function<void(bool)> m_setBusy;
    QMutex m_progressMutex;
    ImportProgress m_latestProgress; // guarded by m_progressMutex
    bool m_progressPosted = false;   // guarded by m_progressMutex: a delivery is on its way
};
