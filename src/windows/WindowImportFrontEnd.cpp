#include "windows/WindowImportFrontEnd.h"

#include "shell/UserInterface.h"
#include "widgets/WindowContext.h"

#include <QThread>

WindowImportFrontEnd::WindowImportFrontEnd(WindowContext& context, QWidget* window,
                                           std::function<void(const QString&)> listTable)
    : m_context(context)
    , m_window(window)
    , m_listTable(std::move(listTable)) {}

void WindowImportFrontEnd::onUiThread(const std::function<void()>& work) {
    const auto guarded = [&] {
        if (!m_stopping)
            work();
    };
    if (QThread::currentThread() == m_receiver.thread())
        guarded();
    else
        QMetaObject::invokeMethod(&m_receiver, guarded, Qt::BlockingQueuedConnection);
}

void WindowImportFrontEnd::message(const QString& text) {
    onUiThread([&] { m_context.ui.message(text); });
}

void WindowImportFrontEnd::applicationError(const QString& text) {
    onUiThread([&] { m_context.ui.applicationError(text); });
}

void WindowImportFrontEnd::rowRejected(const FailurePlace&, const QString&, const QString& text) {
    if (m_listingRejectedRows)
        return;
    onUiThread([&] { m_listingRejectedRows = m_context.ui.rejectedRowError(text); });
}

QString WindowImportFrontEnd::inputText(const QString& prompt, const QString& defaultAnswer) {
    QString answer;
    onUiThread([&] { answer = m_context.ui.inputText(prompt, defaultAnswer); });
    return answer;
}

void WindowImportFrontEnd::fieldCountReport(const FieldCountReport& report) {
    onUiThread([&] { m_context.showReport(report.windowText(), m_window); });
}

void WindowImportFrontEnd::tableListed(const QString& name) {
    QMetaObject::invokeMethod(
        &m_receiver,
        [this, name] {
            if (!m_stopping)
                m_listTable(name);
        },
        Qt::QueuedConnection);
}

void WindowImportFrontEnd::setBusy(bool busy) {
    QMetaObject::invokeMethod(
        &m_receiver,
        [this, busy] {
            if (!m_stopping && m_setBusy)
                m_setBusy(busy);
        },
        Qt::QueuedConnection);
}

void WindowImportFrontEnd::progress(const ImportProgress& progress) {
    {
        QMutexLocker lock(&m_progressMutex);
        m_latestProgress = progress;
        if (m_progressPosted)
            return;
        m_progressPosted = true;
    }
    QMetaObject::invokeMethod(
        &m_receiver,
        [this] {
            ImportProgress latest;
            {
                QMutexLocker lock(&m_progressMutex);
                latest = m_latestProgress;
                m_progressPosted = false;
            }
            if (!m_stopping && m_showProgress)
                m_showProgress(latest);
        },
        Qt::QueuedConnection);
}
