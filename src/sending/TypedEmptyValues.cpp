#include "sending/TypedEmptyValues.h"

#include "textfile/FieldSplitting.h"
#include "textfile/Record.h"

#include <algorithm>

namespace {

bool typed(const std::vector<bool>& nullWhenEmpty, qsizetype i) {
    return i < static_cast<qsizetype>(nullWhenEmpty.size()) && nullWhenEmpty[i];
}

// Whether the rule could send one of the record's values as the empty text: under the plain
// rule only the first value can be (a field of nothing but quotes), under the quoted rule an
// unquoted empty first field or a quoted empty one anywhere.
bool mayHoldEmptyText(const Record& record, QByteArrayView separator, FieldRule rule,
                      const std::vector<bool>& nullWhenEmpty) {
    const QByteArrayView line = record.bytes;
    if (rule == FieldRule::Plain) {
        if (!typed(nullWhenEmpty, 0))
            return false;
        const qsizetype end = separator.isEmpty() ? -1 : line.indexOf(separator);
        const QByteArrayView first = line.first(end < 0 ? line.size() : end);
        return std::all_of(first.begin(), first.end(), [](char c) { return c == '"'; });
    }
    qsizetype start = 0; // carriage returns before the first field are dropped
    while (start < line.size() && line[start] == '\r')
        ++start;
    return line.sliced(start).startsWith(separator) || line.contains("\"\"");
}

} // namespace

std::optional<QStringList> typedEmptyValues(const Record& record, QByteArrayView separator,
                                            FieldRule rule,
                                            const std::vector<bool>& nullWhenEmpty) {
    if (nullWhenEmpty.empty() || record.fieldCount == 0)
        return std::nullopt;
    if (!record.bytes.isNull() && !mayHoldEmptyText(record, separator, rule, nullWhenEmpty))
        return std::nullopt;
    QStringList values =
        record.bytes.isNull() ? record.fields : valuesFromBytes(record.bytes, separator, rule);
    bool changed = false;
    for (qsizetype i = 0; i < values.size(); ++i) {
        QString& value = values[i];
        if (rule == FieldRule::Plain) {
            value.remove(QLatin1Char('"'));
            if (value.isEmpty())
                value = i > 0 ? QString() : emptyValue();
        }
        if (typed(nullWhenEmpty, i) && value.isEmpty() && !value.isNull()) {
            value = QString();
            changed = true;
        }
    }
    return changed ? std::optional<QStringList>(std::move(values)) : std::nullopt;
}
