#include "textfile/CheckInHalves.h"

#include "textfile/FileSnapshot.h"
#include "textfile/LineReader.h"
#include "textfile/RecordReader.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <future>

namespace {

// How often the caller's stop is asked while the second half is awaited.
constexpr std::chrono::milliseconds StopPoll(10);

// The first line start at or after the offset that is not the file's end, or -1.
qint64 lineStartFrom(FileSnapshot& file, qint64 offset) {
    LineReader lines(file, 1 << 16, FileRange{offset, -1, 0});
    QByteArrayView partial;
    if (!lines.next(partial))
        return -1;
    const qint64 start = lines.offset();
    return start < file.size() ? start : -1;
}

struct Half {
    CheckedInHalves checked;
    qint64 lineAfter = 0; // the index of the line after its records
    std::exception_ptr failure;
};

void checkHalf(Half& half, FileSnapshot& file, FieldRule rule, const QString& separator,
               qint16 expected, FileRange range, qint64 startSpacing,
               const std::function<bool()>& stop) {
    try {
        RecordReader records(file, rule, separator, 1 << 20, range);
        if (startSpacing > 0)
            records.noteRecordStartsEvery(startSpacing);
        CheckedInHalves& checked = half.checked;
        checked.report = range.start == 0
                             ? CheckFieldCounts(records, expected, stop, &checked.stopped)
                             : CheckLaterFieldCounts(records, expected, stop, &checked.stopped);
        checked.lines = records.linesRead();
        checked.starts = records.recordStarts();
        checked.decoder = records.decoder();
        half.lineAfter = records.lineAfter();
    } catch (...) {
        half.failure = std::current_exception();
    }
}

// The second half's findings after the first's, its lines counted from firstLine.
void append(CheckedInHalves& first, const CheckedInHalves& second, qint64 firstLine) {
    if (second.report) {
        first.report = second.report;
        first.report->line += firstLine;
        first.report->problemLine += firstLine;
    }
    first.stopped = second.stopped;
    first.lines += second.lines;
    for (RecordStart start : second.starts) {
        start.line += firstLine;
        first.starts.push_back(start);
    }
    first.decoder.append(second.decoder, firstLine);
}

} // namespace

std::optional<CheckedInHalves> checkInHalves(FileSnapshot& file, FieldRule rule,
                                             const QString& separator, qint16 expected,
                                             qint64 startSpacing,
                                             const std::function<bool()>& stop) {
    const qint64 cut = lineStartFrom(file, file.size() / 2);
    if (cut < 0)
        return std::nullopt;
    std::atomic<bool> ended{false}; // the first half ended early, or the caller stopped
    Half second;
    std::future<void> secondDone = std::async(std::launch::async, [&] {
        checkHalf(second, file, rule, separator, expected, FileRange{cut, -1, 0}, startSpacing,
                  [&] { return ended.load(); });
    });
    Half first;
    checkHalf(first, file, rule, separator, expected, FileRange{0, cut, 0}, startSpacing, stop);
    const bool firstEnded = first.failure || first.checked.report || first.checked.stopped;
    ended = firstEnded;
    while (secondDone.wait_for(StopPoll) != std::future_status::ready) {
        if (!ended && stop && stop()) {
            ended = true;
            first.checked.stopped = true;
        }
    }
    if (first.failure)
        std::rethrow_exception(first.failure);
    // A quote left open at the cut may close after it: only a reading on from there can tell.
    if (first.checked.report && first.checked.report->problem == Record::Problem::UnclosedQuote)
        return std::nullopt;
    if (firstEnded || first.checked.stopped)
        return std::move(first.checked);
    if (second.failure)
        std::rethrow_exception(second.failure);
    append(first.checked, second.checked, first.lineAfter);
    return std::move(first.checked);
}
