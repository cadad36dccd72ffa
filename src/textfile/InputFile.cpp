#include "textfile/InputFile.h"

#include "shell/Failure.h"
#include "textfile/CheckInHalves.h"
#include "textfile/FieldCountCheck.h"
#include "textfile/LineReader.h"

#include <algorithm>
#include <limits>

InputFile::InputFile(FieldRule rule, QString separator, bool detectTypes)
    : m_rule(rule)
    , m_separator(std::move(separator))
    , m_detectTypes(detectTypes) {}

bool InputFile::open(const QString& path, const std::function<bool()>& cancelled) {
    close();
    m_path = path;
    m_file = FileSnapshot::open(path, cancelled);
    return m_file != nullptr;
}

void InputFile::close() {
    m_file.reset();
    m_lines = -1;
    m_starts.clear();
    m_types.reset();
    m_header.clear();
    m_noLines = false;
    m_firstLineEmpty = false;
}

void InputFile::readHeader() {
    m_header.clear();
    m_noLines = false;
    m_firstLineEmpty = false;
    if (!m_file)
        return;
    m_header = ::readHeader(*m_file, m_rule, m_separator);
    if (!m_header.isEmpty())
        return;
    // Under either rule a first line with a character other than the carriage return gives a
    // field, unless it begins a malformed record.
    LineReader lines(*m_file);
    QByteArrayView first;
    m_noLines = !lines.next(first);
    m_firstLineEmpty =
        !m_noLines && std::all_of(first.begin(), first.end(), [](char c) { return c == '\r'; });
}

void InputFile::checkWidth() const {
    if (m_header.size() - 1 > std::numeric_limits<qint16>::max())
        throw Failure(QStringLiteral("Overflow: the first line of %1 has %2 fields; the "
                                     "field-count check takes at most 32768.")
                          .arg(m_path)
                          .arg(m_header.size()));
}

InputFile::Checked InputFile::check(const std::function<bool()>& cancelled,
                                    const std::function<bool()>& stopCheck) {
    checkWidth();
    const auto lastIndex = static_cast<qint16>(m_header.size() - 1);
    Checked checked;
    if (!m_file)
        m_file = FileSnapshot::open(m_path, cancelled);
    if (!m_file) {
        checked.cancelled = true;
        return checked;
    }
    m_types.reset();
    if (m_detectTypes)
        m_types.emplace();
    if (m_halvesFrom > 0 && !m_detectTypes && m_file->damage().isEmpty() &&
        m_file->size() >= m_halvesFrom) {
        if (std::optional<CheckedInHalves> halves =
                checkInHalves(*m_file, m_rule, m_separator, lastIndex, m_startSpacing, stopCheck)) {
            checked.report = halves->report;
            checked.cancelled = halves->stopped;
            if (!checked.report && !checked.cancelled)
                passed(checked, halves->lines, std::move(halves->starts), halves->decoder);
            return checked;
        }
    }
    RecordReader records(*m_file, m_rule, m_separator);
    if (m_startSpacing > 0)
        records.noteRecordStartsEvery(m_startSpacing);
    checked.report = CheckFieldCounts(records, lastIndex, stopCheck, &checked.cancelled,
                                      m_types ? &*m_types : nullptr);
    if (checked.cancelled)
        return checked;
    // A quote left open by the break in a compressed file's content is where the content ends:
    // the check runs again over the lines before that record.
    if (checked.report && !m_file->damage().isEmpty() && checked.report->line > 0 &&
        checked.report->problem == FieldCountReport::Problem::UnclosedQuote) {
        LineReader lines(*m_file);
        QByteArrayView line;
        for (qint64 k = 0; k < checked.report->line && lines.next(line); ++k) {
        }
        m_file->endAt(lines.offset());
        return check(cancelled, stopCheck);
    }
    if (!checked.report)
        passed(checked, records.linesRead(), records.recordStarts(), records.decoder());
    return checked;
}

// What a file whose every record passed keeps for its sending, and tells the user.
void InputFile::passed(Checked& checked, qint64 lines, std::vector<RecordStart> starts,
                       const LineDecoder& decoder) {
    m_lines = lines;
    m_starts = std::move(starts);
    if (!m_file->note().isEmpty())
        checked.notes.append(m_file->note());
    if (const auto note = decoder.note(m_path))
        checked.notes.append(*note);
    if (!m_file->damage().isEmpty()) {
        checked.damage = m_file->damage();
        checked.firstLineNotRead = m_lines + 1;
    }
}

QStringList InputFile::columnTypes() const {
    return m_types ? m_types->names(m_header.size()) : QStringList();
}

RecordReader InputFile::dataRecords(bool fromFirst) {
    if (!m_file)
        throw Failure(QStringLiteral("Could not read %1.").arg(m_path));
    RecordReader records(*m_file, m_rule, m_separator);
    if (m_lines >= 0)
        records.expectLines(m_lines);
    if (!fromFirst) {
        Record first;
        records.next(first, false);
    }
    records.keepLinesAsBytes();
    return records;
}

std::vector<FileRange> InputFile::dataRanges(bool fromFirst, int parts, qint64 minimumBytes) {
    const RecordStart from = dataRecords(fromFirst).nextStart();
    return divideRecords(from, m_file->size(), m_starts, parts, minimumBytes);
}

RecordReader InputFile::rangeRecords(const FileRange& range) {
    if (!m_file)
        throw Failure(QStringLiteral("Could not read %1.").arg(m_path));
    RecordReader records(*m_file, m_rule, m_separator, 1 << 20, range);
    if (m_lines >= 0)
        records.expectLines(m_lines);
    records.keepLinesAsBytes();
    return records;
}
