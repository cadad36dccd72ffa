#include "import/RecordReader.h"

#include "import/FileSnapshot.h"
#include "import/Statements.h"
#include "import/TextEncoding.h"

#include <algorithm>

RecordReader::RecordReader(FileSnapshot& file, FieldRule rule, const QString& separator,
                           qint64 chunkSize)
    : m_rule(rule)
    , m_separator(separator)
    , m_separatorUtf8(separator.toUtf8())
    , m_lines(file, chunkSize)
    , m_parser(separator, QLatin1Char(file.lineEnd())) {}

bool RecordReader::next(Record& record, bool withFields) {
    QByteArrayView bytes;
    if (!m_lines.next(bytes))
        return false;
    record.line = m_nextLine++;
    record.problem = Record::Problem::None;
    if (m_rule == FieldRule::Plain) {
        if (bytes.contains('\r')) {
            m_scratch.resize(bytes.size());
            char* out = m_scratch.data();
            for (const char c : bytes) {
                if (c != '\r')
                    *out++ = c;
            }
            m_scratch.truncate(out - m_scratch.constData());
            bytes = m_scratch;
        }
        record.utf8 = {};
        // Counting needs no text where the bytes are UTF-8: the separator's bytes are counted.
        const bool asBytes = m_keepUtf8 || !withFields;
        if (asBytes && m_decoder.isUtf8(bytes, record.line)) {
            record.utf8 = bytes;
            record.text.clear();
            record.fields.clear();
            record.fieldCount = Utf8FieldCount(bytes, m_separatorUtf8);
            return true;
        }
        record.text = asBytes ? decodeWindows1252(bytes) : m_decoder.decode(bytes, record.line);
        if (withFields) {
            record.fields = SplitFields(record.text, m_separator);
            record.fieldCount = record.fields.size();
        } else {
            record.fields.clear();
            record.fieldCount = FieldCount(record.text, m_separator);
        }
        return true;
    }

    record.utf8 = {};
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
    record.fieldCount = m_parser.fieldCount();
    record.fields = m_parser.takeValues();
    return true;
}

QString recordReport(const Record& record) {
    QString text = record.utf8.isNull() ? record.text : QString::fromUtf8(record.utf8);
    text.remove(QLatin1Char('\r'));
    return QStringLiteral("Line no ") + QString::number(record.line) + QStringLiteral(": ") + text;
}

qsizetype Utf8FieldCount(QByteArrayView line, QByteArrayView separator) {
    if (line.isEmpty())
        return 0;
    if (separator.isEmpty())
        return 1;
    if (separator.size() == 1)
        return 1 + std::count(line.begin(), line.end(), separator.front());
    qsizetype count = 1;
    for (qsizetype at = line.indexOf(separator); at >= 0;
         at = line.indexOf(separator, at + separator.size()))
        ++count;
    return count;
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
    if (header.utf8.isNull())
        return SplitFields(header.text, separator);
    return Utf8Fields(header.utf8, separator.toUtf8());
}

QStringList Utf8Fields(QByteArrayView line, QByteArrayView separator) {
    QStringList fields;
    if (line.isEmpty())
        return fields;
    if (separator.isEmpty())
        return {QString::fromUtf8(line)};
    qsizetype from = 0;
    for (qsizetype at = line.indexOf(separator); at >= 0; at = line.indexOf(separator, from)) {
        fields.append(QString::fromUtf8(line.sliced(from, at - from)));
        from = at + separator.size();
    }
    fields.append(QString::fromUtf8(line.sliced(from)));
    return fields;
}
