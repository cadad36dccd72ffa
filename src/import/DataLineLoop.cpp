#include "import/DataLineLoop.h"

#include "import/ImportChoices.h"
#include "import/ImportFrontEnd.h"
#include "import/ImportReporter.h"
#include "import/IntervalCheck.h"
#include "import/SentAhead.h"
#include "parallel/LanePool.h"
#include "resume/ResumingSender.h"
#include "resume/RunConnection.h"
#include "sending/RowSenderFactory.h"
#include "shell/StepRunner.h"
#include "textfile/InputFile.h"

namespace {

// A record's size in the file, for the progress interval.
qsizetype recordSize(const Record& record) {
    return record.bytes.isNull() ? record.text.size() : record.bytes.size();
}

} // namespace

void DataLineLoop::reportRejectionsAt(int execute) {
    m_rejected = [&c = m_context, execute](const LineRejection& rejection) {
        c.run.begin(execute);
        c.ui.atRejection(rejection);
        c.run.report(rejection.description);
        c.ui.atLine(0);
    };
}

bool DataLineLoop::open(const QString& table, const Steps& steps, const ColumnTargets& targets) {
    Context& c = m_context;
    reportRejectionsAt(steps.execute);
    const auto cancelled = [&frontEnd = c.frontEnd] { return frontEnd.cancelRequested(); };
    const bool fromFirst = c.choices.sendsFirstLine();
    const bool opened = c.run.step(steps.open, [&] {
        SenderChoice choice{table,
                            c.path,
                            c.file.rule(),
                            c.choices.separator.toUtf8(),
                            c.choices.rowByRow,
                            cancelled,
                            targets,
                            &c.connection.markersLeft()};
        const std::vector<FileRange> ranges = startLanes(choice, steps);
        if (ranges.empty())
            m_records.emplace(c.file.dataRecords(fromFirst));
        else
            m_records.emplace(c.file.rangeRecords(ranges.front()));
        // The run's own sender shows the progress as its chunks commit, also while it waits
        // for the last ones; the lanes' counts are read from here.
        choice.committed = [this] { showCommitted(); };
        m_sender = std::make_unique<ResumingSender>(ResumingSender::Context{
            c.connection, c.choices.connection, cancelled,
            [choice, rejected = m_rejected](Connection& connection, qsizetype valueCount) {
                return makeRowSender(connection, choice, valueCount, rejected);
            },
            [&file = c.file, fromFirst] { return file.dataRecords(fromFirst); }, m_rejected, c.path,
            [this](qint64 rows, int seconds) {
                m_context.progress(rows + m_side.rowsAccepted(), seconds);
            },
            ranges.empty()}); // with ranges, the lines not sent are told for them all
    });
    return opened && m_records && m_sender;
}

std::vector<FileRange> DataLineLoop::startLanes(SenderChoice& choice, const Steps& steps) {
    Context& c = m_context;
    Connection* open = c.connection.current();
    if (!c.lanes || c.parts < 2 || !open || !open->isOpen())
        return {};
    const bool fromFirst = c.choices.sendsFirstLine();
    std::vector<FileRange> ranges = c.file.dataRanges(fromFirst, c.parts, c.choices.rangeBytes);
    if (ranges.size() < 2 ||
        !(choice.foundTarget = rangesTarget(*open, choice, c.file.header().size())))
        return {};
    const std::vector<RunConnection*> connections = c.lanes->begin(
        c.choices.connection, static_cast<int>(ranges.size()) - 1, m_side.stopCheck());
    if (connections.empty())
        return {};
    if (connections.size() + 1 < ranges.size())
        ranges = c.file.dataRanges(fromFirst, static_cast<int>(connections.size()) + 1,
                                   c.choices.rangeBytes);
    m_side.start(connections,
                 Lane::Setup{*connections.front(),
                             c.choices.connection,
                             c.file,
                             {},
                             choice,
                             m_side.stopCheck(),
                             steps.next,
                             steps.execute},
                 {ranges.begin() + 1, ranges.end()});
    return ranges;
}

void DataLineLoop::finishLanes(Outcome& outcome, const RowSender::Rejected& rejected) {
    Context& c = m_context;
    if (m_side.empty())
        return;
    if (outcome.cancelled)
        m_side.stop();
    const qint64 firstRows = outcome.rowsSent;
    const SideLanes::Replay replay{
        [&](const LaneEvent& event) {
            if (event.kind == LaneEvent::Kind::Rejected) {
                rejected(event.rejection);
            } else if (event.kind == LaneEvent::Kind::Notice) {
                c.ui.serverNotice(event.notice);
            } else {
                c.run.begin(event.step);
                c.run.report(event.failure);
            }
        },
        [&c] { return c.frontEnd.cancelRequested(); },
        [&](qint64 rows, int seconds) { c.progress(firstRows + rows, seconds); }};
    const Lane::Outcome side =
        m_side.finish(replay, m_sender ? m_sender->notSent() : std::nullopt, c.path);
    outcome.rowsSent += side.rowsSent;
    outcome.withoutSeparator += side.withoutSeparator;
    outcome.handedOver += side.handedOver;
    outcome.allSent = outcome.allSent && side.allSent;
    outcome.cancelled = outcome.cancelled || side.cancelled;
}

void DataLineLoop::showCommitted() {
    if (m_sender && m_context.progressInterval.passed())
        m_context.progress(m_sender->rowsAccepted() + m_side.rowsAccepted(), 0);
}

bool DataLineLoop::readNext(Record& record, const Steps& steps, bool& more) {
    Context& c = m_context;
    return c.run.step(steps.next, [&] {
        more = m_records->next(record);
        if (more)
            expectUnchanged(record, c.path);
    });
}

DataLineLoop::Outcome DataLineLoop::showSentAhead(const Steps& steps) {
    Context& c = m_context;
    reportRejectionsAt(steps.execute);
    c.run.begin(steps.open);
    const FileRange range = c.ahead->range();
    m_side.adopt(c.ahead->takeLane(), range.firstLine, c.stopAhead);
    Outcome outcome;
    outcome.allSent = true;
    finishLanes(outcome, m_rejected);
    return outcome;
}

DataLineLoop::Outcome DataLineLoop::send(const QString& table, const Steps& steps,
                                         const ColumnTargets& targets) {
    Context& c = m_context;
    if (c.ahead)
        return showSentAhead(steps);
    Outcome outcome;
    if (!open(table, steps, targets))
        return outcome;

    Record record;
    bool readToTheEnd = true; // false when the file could not be read to its end
    for (;;) {
        bool more = false;
        readToTheEnd = readNext(record, steps, more);
        if (!readToTheEnd || !more)
            break;
        // Asked once a line is in hand, so that a stop after the last line leaves the file
        // counted as imported: nothing of it was left unsent.
        if ((outcome.cancelled = c.frontEnd.cancelRequested())) {
            m_side.stop();
            break;
        }
        c.run.begin(steps.empty);
        if (record.fieldCount == 0)
            continue;
        c.run.begin(steps.split); // the reader cut the record into fields
        c.run.begin(steps.fewFields);
        if (record.fieldCount < 2) {
            ++outcome.withoutSeparator;
            continue;
        }
        c.run.begin(steps.build);
        ++outcome.handedOver;
        c.run.step(steps.execute, [&] { m_sender->send(record); });
        if (c.progressInterval.due(recordSize(record)))
            c.progress(m_sender->rowsAccepted() + m_side.rowsAccepted(), 0);
    }
    c.run.step(steps.execute, [&] { m_sender->finish(); });
    outcome.rowsSent = m_sender->rowsAccepted();
    outcome.allSent = readToTheEnd && m_sender->allSent();
    finishLanes(outcome, m_rejected);
    return outcome;
}
