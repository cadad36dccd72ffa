#include "import/DataLineLoop.h"

#include "import/ImportChoices.h"
#include "import/ImportFrontEnd.h"
#include "import/ImportReporter.h"
#include "import/IntervalCheck.h"
#include "resume/ResumingSender.h"
#include "sending/RowSenderFactory.h"
#include "shell/StepRunner.h"
#include "textfile/InputFile.h"

#include <memory>
#include <optional>

namespace {

// A record's size in the file, for the progress interval.
qsizetype recordSize(const Record& record) {
    return record.bytes.isNull() ? record.text.size() : record.bytes.size();
}

} // namespace

DataLineLoop::Outcome DataLineLoop::send(const QString& table, const Steps& steps) {
    Context& c = m_context;
    Outcome outcome;
    std::optional<RecordReader> records;
    std::unique_ptr<ResumingSender> sender;
    const RowSender::Rejected rejected = [&](qint64 lineIndex, const QString& description) {
        c.run.begin(steps.execute);
        c.ui.atLine(lineIndex + 1);
        c.run.report(description);
        c.ui.atLine(0);
    };
    const auto cancelled = [&frontEnd = c.frontEnd] { return frontEnd.cancelRequested(); };
    const bool opened = c.run.step(steps.open, [&] {
        records.emplace(c.file.dataRecords());
        const SenderChoice choice{
            table,    c.path, c.file.rule(), c.choices.separator.toUtf8(), c.choices.rowByRow,
            cancelled};
        sender = std::make_unique<ResumingSender>(ResumingSender::Context{
            c.connection, c.choices.connection, cancelled,
            [choice, rejected](Connection& connection, qsizetype valueCount) {
                return makeRowSender(connection, choice, valueCount, rejected);
            },
            [&file = c.file] { return file.dataRecords(); }, rejected, c.path, c.progress});
    });
    if (!opened || !records || !sender)
        return outcome;

    Record record;
    bool readToTheEnd = true; // false when the file could not be read to its end
    for (;;) {
        bool more = false;
        readToTheEnd = c.run.step(steps.next, [&] {
            more = records->next(record);
            // The check read these bytes whole; a record that no longer reads so means the file
            // was written to in place.
            if (more && record.problem != Record::Problem::None)
                throw Failure(QStringLiteral("%1 changed while it was imported: %2")
                                  .arg(c.path, recordReport(record).windowText()));
        });
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
        c.run.step(steps.execute, [&] { sender->send(record); });
        if (c.progressInterval.due(recordSize(record)))
            c.progress(sender->rowsAccepted(), 0);
    }
    c.run.step(steps.execute, [&] { sender->finish(); });
    outcome.rowsSent = sender->rowsAccepted();
    outcome.allSent = readToTheEnd && sender->allSent();
    return outcome;
}
