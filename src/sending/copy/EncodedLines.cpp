#include "sending/copy/EncodedLines.h"

#include "sending/Statements.h"
#include "sending/TypedEmptyValues.h"
#include "sending/copy/CopyText.h"
#include "textfile/FieldSplitting.h"
#include "textfile/RecordReader.h"

#include <algorithm>
#include <cstring>

EncodedLines::EncodedLines(const ColumnTargets& targets)
    : m_nullWhenEmpty(targets.nullWhenEmpty)
    , m_lineEnd("\n") {
    // Without a column whose empty value goes as NULL no line needs looking at for one.
    if (std::none_of(m_nullWhenEmpty.begin(), m_nullWhenEmpty.end(),
                     [](bool typed) { return typed; }))
        m_nullWhenEmpty.clear();
    if (targets.constantColumn.isEmpty())
        return;
    // A text value as the quoted rule writes it: escaped, and never NULL, the empty one too.
    const QString value = targets.constantValue.isNull() ? emptyValue() : targets.constantValue;
    m_lineEnd = "\t";
    appendCopyLine(m_lineEnd, {value}, FieldRule::Quoted);
}

// The record's text just written ends with its line feed: the constant goes before it. Without
// a constant the line end is that line feed alone.
void EncodedLines::endLine() {
    if (m_lineEnd.size() == 1)
        return;
    m_data.chop(1);
    m_data.append(m_lineEnd);
}

std::optional<EncodedLines::Encoded> EncodedLines::encode(const Record& record,
                                                          QByteArrayView separator, FieldRule rule,
                                                          qsizetype reserveBytes) {
    if (m_data.capacity() < reserveBytes)
        m_data.reserve(reserveBytes); // touched as used
    const qsizetype offset = m_data.size();
    if (auto values = typedEmptyValues(record, separator, rule, m_nullWhenEmpty)) {
        if (holdsNulCharacter(*values))
            return std::nullopt;
        appendCopyLine(m_data, *values, FieldRule::Quoted);
        endLine();
        return Encoded{offset, values->size()};
    }
    if (!record.bytes.isNull()) {
        // An unescaped line was read without the NUL character.
        if (!record.unescaped && record.bytes.contains('\0'))
            return std::nullopt;
        if (appendCopyLineBytes(m_data, record.bytes, separator, rule, record.unescaped,
                                record.cut)) {
            endLine();
            return Encoded{offset, record.fieldCount};
        }
    }
    const QStringList fields =
        record.bytes.isNull() ? record.fields : valuesFromBytes(record.bytes, separator, rule);
    if (holdsNulCharacter(fields))
        return std::nullopt;
    appendCopyLine(m_data, fields, rule);
    endLine();
    return Encoded{offset, fields.size()};
}

void EncodedLines::setAside(qint64 index, qsizetype offset) {
    m_asideText[index] = m_data.sliced(offset);
    m_asideBytes += m_data.size() - offset;
    m_data.truncate(offset);
    m_lines.push_back({index, offset, false, true});
}

void EncodedLines::forgetAside(std::map<qint64, QByteArray>::iterator begin,
                               std::map<qint64, QByteArray>::iterator end) {
    for (auto at = begin; at != end; ++at)
        m_asideBytes -= at->second.size();
    m_asideText.erase(begin, end);
}

qsizetype EncodedLines::carried(qsizetype begin, qsizetype end) const {
    return std::count_if(m_lines.begin() + begin, m_lines.begin() + end,
                         [](const Line& line) { return !line.aside; });
}

qsizetype EncodedLines::carriedAt(qsizetype begin, qsizetype n) const {
    for (qsizetype line = begin; line < count() && n > 0; ++line) {
        if (!m_lines[line].aside && --n == 0)
            return line;
    }
    return -1;
}

std::vector<qint64> EncodedLines::indices() const {
    std::vector<qint64> indices;
    indices.reserve(m_lines.size());
    for (const Line& line : m_lines)
        indices.push_back(line.index);
    return indices;
}

QStringList EncodedLines::fields(qsizetype line) const {
    const QByteArrayView text =
        m_lines[line].aside ? m_asideText.at(m_lines[line].index) : this->text(line, line + 1);
    QStringList fields = copyLineFields(text.chopped(1)); // without the line feed
    if (m_lineEnd.size() > 1)
        fields.removeLast(); // the constant
    return fields;
}

qsizetype EncodedLines::release(qsizetype end) {
    if (end <= 0)
        return 0;
    const qsizetype bytes = offset(end);
    // Moved rather than removed, so that the room stays where appending needs it.
    std::memmove(m_data.data(), m_data.constData() + bytes, m_data.size() - bytes);
    m_data.truncate(m_data.size() - bytes);
    forgetAside(m_asideText.begin(), m_asideText.lower_bound(boundary(end)));
    m_lines.erase(m_lines.begin(), m_lines.begin() + end);
    for (Line& line : m_lines)
        line.offset -= bytes;
    return bytes;
}

void EncodedLines::truncate(qsizetype keep) {
    if (keep >= count())
        return;
    m_data.truncate(m_lines[keep].offset);
    forgetAside(m_asideText.lower_bound(m_lines[keep].index), m_asideText.end());
    m_lines.resize(keep);
}

void EncodedLines::clear() {
    m_lines.clear();
    m_data.clear();
    m_asideText.clear();
    m_asideBytes = 0;
}
