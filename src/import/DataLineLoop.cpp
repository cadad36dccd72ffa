#include "import/DataLineLoop.h"

#include "import/ImportChoices.h"
#include "import/ImportFrontEnd.h"
#include "import/ImportReporter.h"
#include "import/IntervalCheck.h"
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

bool DataLineLoop::open(const QString& table, const Steps& steps, const ColumnTargets& targets) {
    Context& c = m_context;
    const RowSender::Rejected rejected = [&c,
                                          execute = steps.execute](const LineRejection& rejection) {
        c.run.begin(execute);
        c.ui.atRejection(rejection);
        c.run.report(rejection.description);
        c.ui.atLine(0);
    };
    const auto cancelled = [&frontEnd = c.frontEnd] { return frontEnd.cancelRequested(); };
    const bool fromFirst = c.choices.sendsFirstLine();
    const bool opened = c.run.step(steps.open, [&] {
        m_records.emplace(c.file.dataRecords(fromFirst));
        const SenderChoice choice{table,
                                  c.path,
                                  c.file.rule(),
                                  c.choices.separator.toUtf8(),
                                  c.choices.rowByRow,
                                  cancelled,
                                  targets,
                                  &c.connection.markersLeft()};
        m_sender = std::make_unique<ResumingSender>(ResumingSender::Context{
            c.connection, c.choices.connection, cancelled,
            [choice, rejected](Connection& connection, qsizetype valueCount) {
                return makeRowSender(connection, choice, valueCount, rejected);
            },
            [&file = c.file, fromFirst] { return file.dataRecords(fromFirst); }, rejected, c.path,
            c.progress});
    });
    return opened && m_records && m_sender;
}

bool DataLineLoop::readNext(Record& record, const Steps& steps, bool& more) {
    Context& c = m_context;
    return c.run.step(steps.next, [&] {
        more = m_records->next(record);
        // The check read these bytes whole; a record that no longer reads so means the file
        // was written to in place.
        if (more && record.problem != Record::Problem::None)
            throw Failure(QStringLiteral("%1 changed while it was imported: %2")
                              .arg(c.path, recordReport(record).windowText()));
    });
}

DataLineLoop::Outcome DataLineLoop::send(const QString& table, const Steps& steps,
                                         const ColumnTargets& targets) {
    Context& c = m_context;
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
        if ((outcome.cancelled = c.frontEnd.cancelRequested()))
            break;
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
            c.progress(m_sender->rowsAccepted(), 0);
    }
    c.run.step(steps.execute, [&] { m_sender->finish(); });
    outcome.rowsSent = m_sender->rowsAccepted();
    outcome.allSent = readToTheEnd && m_sender->allSent();
    return outcome;
}
