#include "report/RejectedLineCopy.h"

#include "report/ShownText.h"
#include "shell/Failure.h"
#include "textfile/FileSnapshot.h"
#include "textfile/LineDecoder.h"
#include "textfile/LineReader.h"
#include "textfile/RecordReader.h"

#include <QFileDevice>
#include <vector>

namespace {

const QByteArray ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

void writeAll(QIODevice& device, QByteArrayView bytes) {
    if (bytes.isEmpty() || device.write(bytes.data(), bytes.size()) == bytes.size())
        return;
    const auto* file = qobject_cast<QFileDevice*>(&device);
    throw Failure(
        QStringLiteral("Could not write %1: %2")
            .arg(file ? file->fileName() : QStringLiteral("a file"), device.errorString()));
}

QString csvField(QString text) {
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The start of a long line, enough for the characters an event keeps, cut where no UTF-8
// sequence is split.
QByteArrayView shownPart(QByteArrayView line) {
    constexpr qsizetype Most = RejectedLineCopy::ShownCharacters * 4 + 4;
    if (line.size() <= Most)
        return line;
    qsizetype size = Most;
    while (size > 0 && (static_cast<unsigned char>(line[size]) & 0xC0) == 0x80)
        --size;
    return line.first(size);
}

// The rejected records in the order rejected, one at a time as the file is read, each with the
// last line it spans and its text as far as read.
class Rejections {
public:
    // lasts: the last line of each record (-1: its line starts no record); null when every
    // record is one line.
    Rejections(PendingRecords& pending, const std::vector<qint64>* lasts)
        : m_pending(pending)
        , m_lasts(lasts) {
        m_pending.rewind();
        take();
    }

    void take() {
        has = m_pending.next(entry);
        if (has)
            last = m_lasts ? (*m_lasts)[m_taken++] : entry.line;
        text.clear();
        m_firstLine = true;
    }

    // Adds a line of the record to its text, while the text is short enough to be shown. The
    // carriage return of a CR LF line end is left out.
    void addLine(LineDecoder& decoder, QByteArrayView line, qint64 index, char lineEnd) {
        if (text.size() <= RejectedLineCopy::ShownCharacters) {
            if (!m_firstLine)
                text += QLatin1Char(lineEnd);
            if (lineEnd == '\n' && line.endsWith('\r'))
                line.chop(1);
            text += decoder.decode(shownPart(line), index);
        }
        m_firstLine = false;
    }

    bool has = false;
    PendingRecords::Entry entry;
    qint64 last = -1;
    QString text;

private:
    PendingRecords& m_pending;
    const std::vector<qint64>* m_lasts;
    std::size_t m_taken = 0;
    bool m_firstLine = true;
};

} // namespace

struct RejectedLineCopy::Extents {
    qint64 headerLast = -1;    // the last line of the header record; -1 without one
    std::vector<qint64> lasts; // quoted rule: the last line of each rejected record, in order
};

RejectedLineCopy::Extents RejectedLineCopy::findExtents(PendingRecords& pending) {
    Extents extents;
    if (m_headerLine)
        extents.headerLast = 0; // a plain record is one line; a quoted one is measured below
    if (m_rule == FieldRule::Plain)
        return extents;
    RecordReader records(m_file, m_rule, m_separator);
    Record record;
    PendingRecords::Entry entry;
    pending.rewind();
    bool more = pending.next(entry);
    bool first = true;
    while (more && records.next(record, false)) {
        const qint64 last = records.lineAfter() - 1;
        if (first && m_headerLine)
            extents.headerLast = last;
        first = false;
        for (; more && entry.line <= record.line; more = pending.next(entry))
            extents.lasts.push_back(entry.line == record.line ? last : -1);
    }
    for (; more; more = pending.next(entry))
        extents.lasts.push_back(-1);
    return extents;
}

void RejectedLineCopy::copy(PendingRecords& pending, const Target& target) {
    const Extents extents = findExtents(pending);
    writeAll(target.reasons, "line,SQLSTATE,message\n");
    QFile& device = m_file.device();
    if (device.seek(0) && device.read(ByteOrderMark.size()) == ByteOrderMark)
        writeAll(target.lines, ByteOrderMark);

    LineReader lines(m_file);
    LineDecoder decoder;
    const char lineEnd = m_file.lineEnd();
    Rejections current(pending, m_rule == FieldRule::Plain ? nullptr : &extents.lasts);
    const auto finish = [&] {
        report(current.entry, current.text, target);
        current.take();
    };
    QByteArrayView line;
    qint64 index = -1;
    bool wroteLast = false; // the line before this one was copied: its line end follows
    while (lines.next(line)) {
        ++index;
        if (wroteLast)
            writeAll(target.lines, QByteArrayView(&lineEnd, 1));
        wroteLast = false;
        while (current.has && current.last < index)
            finish();
        const bool rejected = current.has && index >= current.entry.line;
        if (index <= extents.headerLast || rejected) {
            writeAll(target.lines, line);
            wroteLast = true;
        }
        if (rejected) {
            current.addLine(decoder, line, index, lineEnd);
            if (index == current.last)
                finish();
        }
        if (!current.has && index >= extents.headerLast)
            break;
    }
    // The last line copied had a line end when a line follows it.
    if (wroteLast && lines.next(line))
        writeAll(target.lines, QByteArrayView(&lineEnd, 1));
    while (current.has)
        finish();
}

void RejectedLineCopy::report(const PendingRecords::Entry& entry, const QString& text,
                              const Target& target) const {
    const qint64 line = entry.line + 1;
    target.event({ReportEvent::Kind::Rejected, m_path, line, entry.sqlState, entry.what,
                  shownText(text, ShownCharacters)});
    writeAll(target.reasons, QStringLiteral("%1,%2,%3\n")
                                 .arg(QString::number(line), entry.sqlState, csvField(entry.what))
                                 .toUtf8());
}
