#include "parallel/Lane.h"

#include "resume/ResumingSender.h"
#include "resume/RunConnection.h"
#include "shell/StepRunner.h"
#include "textfile/InputFile.h"
#include "textfile/RecordReader.h"

Lane::Lane(Setup setup)
    : m_setup(std::move(setup)) {
    m_setup.choice.stopRequested = m_setup.stop;
    m_setup.choice.markersLeft = &m_setup.connection.markersLeft();
    m_setup.connection.setNoticeReceiver([this](const ServerNotice& notice) {
        LaneEvent event;
        event.kind = LaneEvent::Kind::Notice;
        event.notice = notice;
        m_events.push(event);
    });
}

Lane::~Lane() {
    join();
    m_setup.connection.setNoticeReceiver({});
}

void Lane::start() {
    m_thread = std::thread([this] { run(); });
}

void Lane::join() {
    if (m_thread.joinable())
        m_thread.join();
}

// The failure in flight, reported at the step.
void Lane::failed(int step) {
    try {
        throw;
    } catch (const Stopped&) {
        return; // the user's own stop
    } catch (...) {
        LaneEvent event;
        event.kind = LaneEvent::Kind::Failed;
        event.step = step;
        event.failure = StepRunner::describe(std::current_exception());
        m_events.push(event);
    }
}

void Lane::run() {
    const RowSender::Rejected rejected = [this](const LineRejection& rejection) {
        LaneEvent event;
        event.rejection = rejection;
        m_events.push(event);
    };
    const SenderChoice& choice = m_setup.choice;
    ResumingSender sender(ResumingSender::Context{
        m_setup.connection, m_setup.settings, m_setup.stop,
        [choice, rejected](Connection& connection, qsizetype valueCount) {
            return makeRowSender(connection, choice, valueCount, rejected);
        },
        [this] { return m_setup.file.rangeRecords(m_setup.range); }, rejected, choice.path,
        [this](qint64, int seconds) { m_waiting = seconds; }, false});
    sendRange(sender);
    try {
        sender.finish();
    } catch (...) {
        failed(m_setup.executeStep);
    }
    m_rows = sender.rowsAccepted();
    m_outcome.rowsSent = sender.rowsAccepted();
    m_outcome.allSent = m_outcome.allSent && sender.allSent();
    m_outcome.notSent = sender.notSent();
    m_events.end();
}

// The range's records to the sender, as the run's loop hands over those of the first range.
void Lane::sendRange(ResumingSender& sender) {
    try {
        RecordReader records = m_setup.file.rangeRecords(m_setup.range);
        Record record;
        while (records.next(record)) {
            expectUnchanged(record, m_setup.choice.path);
            if ((m_outcome.cancelled = m_setup.stop()))
                return;
            if (record.fieldCount == 0)
                continue;
            if (record.fieldCount < 2) {
                ++m_outcome.withoutSeparator;
                continue;
            }
            ++m_outcome.handedOver;
            try {
                sender.send(record);
            } catch (...) {
                failed(m_setup.executeStep);
            }
            m_rows = sender.rowsAccepted();
        }
    } catch (...) {
        m_outcome.allSent = false;
        failed(m_setup.nextStep);
    }
}
