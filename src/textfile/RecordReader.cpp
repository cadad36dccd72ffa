#include "textfile/RecordReader.h"
#include "textfile/FieldSplitting.h"

#include "shell/Failure.h"
#include "textfile/AgreeingLines.h"
#include "textfile/FileSnapshot.h"
#include "textfile/LineScan.h"
#include "textfile/TextEncoding.h"

#include <algorithm>
#include <limits>

namespace {

// A separator of one ASCII byte, other than the carriage return that lines drop, can be
// counted on the bytes of any line whatever its encoding: UTF-8 and Windows-1252 both give
// that byte, and only that byte, for that character.
bool countableByte(const QByteArray& separator) {
    return separator.size() == 1 && static_cast<unsigned char>(separator.front()) < 0x80 &&
           separator.front() != '\r';
}

// Hands a record over as its bytes (Record::bytes), with no text or fields.
inline void takeBytes(Record& record, QByteArrayView bytes, qsizetype fieldCount,
                      bool unescaped = false) {
    record.bytes = bytes;
    record.unescaped = unescaped;
    record.text.clear();
    record.fields.clear();
    record.fieldCount = fieldCount;
}

} // namespace

RecordReader::RecordReader(FileSnapshot& file, FieldRule rule, const QString& separator,
                           qint64 chunkSize, FileRange range)
    : m_rule(rule)
    , m_separator(separator)
    , m_separatorUtf8(separator.toUtf8())
    , m_byteSeparator(countableByte(m_separatorUtf8))
    , m_lines(file, chunkSize, range)
    , m_parser(separator, QLatin1Char(file.lineEnd()))
    , m_nextLine(range.firstLine)
    , m_wholeLines(range.firstLine) {}

QByteArrayView RecordReader::withoutReturns(QByteArrayView bytes) {
    m_scratch.resize(bytes.size());
    char* out = m_scratch.data();
    for (const char c : bytes) {
        if (c != '\r')
            *out++ = c;
    }
    m_scratch.truncate(out - m_scratch.constData());
    return m_scratch;
}

bool RecordReader::next(Record& record, bool withFields) {
    try {
        const bool more = read(record, withFields);
        m_wholeLines = m_nextLine;
        if (more)
            noteStartPassed();
        return more;
    } catch (const Failure& failure) {
        if (!m_lines.shrank() || m_expectedLines < 0)
            throw;
        const qint64 unread = m_expectedLines - m_wholeLines;
        if (m_wholeLines == 0)
            throw Failure(QStringLiteral("%1 None of its %2 line(s) were read.")
                              .arg(failure.description())
                              .arg(unread));
        throw Failure(QStringLiteral("%1 The last line loaded is line %2; %3 line(s) after it "
                                     "were not read.")
                          .arg(failure.description())
                          .arg(m_wholeLines)
                          .arg(unread));
    }
}

// Where record starts are noted and the next one was passed, notes it.
void RecordReader::noteStartPassed() {
    if (m_startSpacing > 0 && m_lines.offset() >= m_nextStartAt) {
        m_starts.push_back(nextStart());
        m_nextStartAt = m_lines.offset() + m_startSpacing;
    }
}

qint64 RecordReader::passAgreeing(qint16 expected) {
    const bool quoted = m_rule == FieldRule::Quoted;
    if (!m_byteSeparator || m_keepAsBytes || (quoted && m_separatorUtf8.front() == '"'))
        return 0;
    const LineShape shape{m_separatorUtf8.front(), m_lines.lineEnd(), quoted ? '"' : '\0',
                          expected};
    qint64 passed = 0;
    for (;;) {
        // A run stops at the line after which the next record start is noted.
        const qsizetype until = m_startSpacing > 0 ? m_nextStartAt - m_lines.offset()
                                                   : std::numeric_limits<qsizetype>::max();
        const AgreeingRun run = agreeingLines(m_lines.ahead(), shape, until);
        if (run.lines == 0)
            return passed;
        m_lines.skip(run.bytes, run.lines);
        m_nextLine += run.lines;
        m_wholeLines = m_nextLine;
        passed += run.lines;
        if (m_startSpacing == 0 || m_lines.offset() < m_nextStartAt)
            return passed;
        noteStartPassed();
    }
}

bool RecordReader::read(Record& record, bool withFields) {
    QByteArrayView bytes;
    if (!m_lines.next(bytes))
        return false;
    record.line = m_nextLine++;
    record.cut = nullptr;
    record.problem = Record::Problem::None;
    record.problemLine = record.line;
    if (m_rule == FieldRule::Plain)
        readPlain(bytes, record, withFields);
    else
        readQuoted(bytes, record, withFields);
    return true;
}

inline void RecordReader::readPlain(QByteArrayView bytes, Record& record, bool withFields) {
    // Counting needs no text where the bytes are UTF-8: the separator's bytes are counted.
    const bool asBytes = m_keepAsBytes || !withFields;
    record.bytes = {};
    record.unescaped = false;
    if (asBytes && m_byteSeparator) {
        const LineScan scan = scanLine(bytes, m_separatorUtf8.front());
        if (scan.returns > 0)
            bytes = withoutReturns(bytes);
        // An ASCII line is valid UTF-8 without a multi-byte sequence: the decoder would take it
        // as such and learn nothing from it.
        if (scan.ascii) {
            takeBytes(record, bytes, bytes.isEmpty() ? 0 : 1 + scan.separators, scan.unescaped);
            return;
        }
    } else if (bytes.contains('\r')) {
        bytes = withoutReturns(bytes);
    }
    if (asBytes && m_decoder.isUtf8(bytes, record.line)) {
        takeBytes(record, bytes, fieldCountFromBytes(bytes, m_separatorUtf8));
        return;
    }
    record.text = asBytes ? decodeWindows1252(bytes) : m_decoder.decode(bytes, record.line);
    if (withFields) {
        record.fields = SplitFields(record.text, m_separator);
        record.fieldCount = record.fields.size();
    } else {
        record.fields.clear();
        record.fieldCount = fieldCount(record.text, m_separator);
    }
}

inline void RecordReader::readQuoted(QByteArrayView bytes, Record& record, bool withFields) {
    record.bytes = {};
    record.unescaped = false;
    // An ASCII line that is a whole record by itself is counted, and handed over when lines
    // come as bytes, as its bytes. The decoder would learn nothing from it, and no text needs
    // to be made.
    if ((!withFields || m_keepAsBytes) && m_byteSeparator && m_separatorUtf8.front() != '"' &&
        scanLine(bytes, m_separatorUtf8.front()).ascii) {
        qsizetype count = -1;
        if (QuotedFieldParser::cutAsciiLine(bytes, m_separatorUtf8.front(), m_asciiFields))
            count = m_asciiFields.size();
        else if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\r'; }))
            count = 0; // an empty record
        if (count >= 0) {
            takeBytes(record, bytes, count);
            record.cut = count > 0 ? &m_asciiFields : nullptr;
            return;
        }
    }
    record.text = m_decoder.decode(bytes, record.line);
    m_parser.begin(withFields);
    bool complete = m_parser.addLine(record.text);
    while (!complete) {
        if (!m_lines.next(bytes)) {
            m_parser.endOfInput();
            break;
        }
        complete = m_parser.addLine(m_decoder.decode(bytes, m_nextLine++));
    }
    record.problem = m_parser.problem();
    record.problemLine = record.line + m_parser.problemLine();
    record.fieldCount = m_parser.fieldCount();
    record.fields = m_parser.takeValues();
}

namespace {

constexpr qsizetype Shown = FieldCountReport::ShownCharacters;

// The report's part of a line of text: its first characters (code points; a surrogate pair is
// one), carriage returns left out, and the count of the others.
void cutForReport(QStringView text, FieldCountReport& report) {
    const qsizetype size = text.size();
    report.text.reserve(std::min(size, 2 * Shown));
    qsizetype i = 0;
    for (qsizetype shown = 0; i < size && shown < Shown; ++i) {
        if (text[i] == u'\r')
            continue;
        report.text += text[i];
        if (text[i].isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate())
            report.text += text[++i];
        ++shown;
    }
    for (; i < size; ++i) {
        const bool pairEnd = text[i].isLowSurrogate() && text[i - 1].isHighSurrogate();
        report.moreCharacters += text[i] != u'\r' && !pairEnd;
    }
}

// The same for a line of valid UTF-8 bytes.
void cutForReport(QByteArrayView utf8, FieldCountReport& report) {
    const auto continuation = [](char c) { return (static_cast<uchar>(c) & 0xC0) == 0x80; };
    const qsizetype size = utf8.size();
    qsizetype end = 0;
    for (qsizetype shown = 0; end < size && shown < Shown; ++end) {
        if (utf8[end] == '\r')
            continue;
        while (end + 1 < size && continuation(utf8[end + 1]))
            ++end;
        ++shown;
    }
    report.text = QString::fromUtf8(utf8.first(end));
    report.text.remove(QLatin1Char('\r'));
    for (qsizetype i = end; i < size; ++i)
        report.moreCharacters += utf8[i] != '\r' && !continuation(utf8[i]);
}

} // namespace

void expectUnchanged(const Record& record, const QString& path) {
    if (record.problem != Record::Problem::None)
        throw Failure(QStringLiteral("%1 changed while it was imported: %2")
                          .arg(path, recordReport(record).windowText()));
}

FieldCountReport recordReport(const Record& record) {
    FieldCountReport report;
    report.line = record.line;
    if (record.bytes.isNull())
        cutForReport(QStringView(record.text), report);
    else
        cutForReport(record.bytes, report);
    report.problem = record.problem;
    report.problemLine = record.problemLine;
    return report;
}

QStringList readHeader(FileSnapshot& file, FieldRule rule, const QString& separator) {
    Record header;
    if (rule == FieldRule::Quoted) {
        RecordReader counting(file, rule, separator);
        if (!counting.next(header, false) || header.problem != Record::Problem::None)
            return {};
    }
    RecordReader reader(file, rule, separator);
    if (rule == FieldRule::Quoted)
        return reader.next(header) ? header.fields : QStringList();
    // A plain line of UTF-8 is cut on its bytes, so that a long header is never held as one
    // text and as its fields at once.
    if (!reader.next(header, false))
        return {};
    if (header.bytes.isNull())
        return SplitFields(header.text, separator);
    return fieldsFromBytes(header.bytes, separator.toUtf8());
}
