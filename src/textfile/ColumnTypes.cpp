#include "textfile/ColumnTypes.h"

#include "textfile/QuotedFieldParser.h"
#include "textfile/Record.h"

#include <cstring>

namespace {

bool digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads n digits at pos into number; false when they are not all there.
bool digits(QByteArrayView v, qsizetype& pos, int n, int& number) {
    if (pos + n > v.size())
        return false;
    number = 0;
    for (int k = 0; k < n; ++k, ++pos) {
        if (!digit(v[pos]))
            return false;
        number = number * 10 + (v[pos] - '0');
    }
    return true;
}

bool equalsFolded(QByteArrayView value, const char* word) {
    const auto size = static_cast<qsizetype>(std::strlen(word));
    if (value.size() != size)
        return false;
    for (qsizetype i = 0; i < size; ++i) {
        char c = value[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

quint8 words(QByteArrayView v) {
    for (const char* word : {"t", "f", "true", "false"})
        if (equalsFolded(v, word))
            return ColumnTypes::Boolean;
    if (v == "NaN")
        return ColumnTypes::Numeric;
    if (v == "infinity" || v == "-infinity")
        return ColumnTypes::Date | ColumnTypes::Timestamp | ColumnTypes::TimestampTz;
    return 0;
}

quint8 number(QByteArrayView v) {
    const bool minus = v.startsWith('-');
    qsizetype pos = minus ? 1 : 0;
    const qsizetype first = pos;
    while (pos < v.size() && digit(v[pos]))
        ++pos;
    const qsizetype whole = pos - first;
    if (whole == 0 || (whole > 1 && v[first] == '0'))
        return 0; // no digit, or a leading zero
    bool zero = whole == 1 && v[first] == '0';
    if (pos == v.size()) {
        if (minus && zero)
            return 0; // -0 would come back as 0
        const QByteArrayView text = v.sliced(first, whole);
        const auto fits = [&](const char* largest) {
            const auto size = static_cast<qsizetype>(std::strlen(largest));
            return whole < size || (whole == size && text.compare(largest) <= 0);
        };
        if (fits(minus ? "2147483648" : "2147483647"))
            return ColumnTypes::Integer | ColumnTypes::BigInt | ColumnTypes::Numeric;
        if (fits(minus ? "9223372036854775808" : "9223372036854775807"))
            return ColumnTypes::BigInt | ColumnTypes::Numeric;
        return ColumnTypes::Numeric;
    }
    if (v[pos] != '.' || pos + 1 == v.size())
        return 0;
    for (++pos; pos < v.size(); ++pos) {
        if (!digit(v[pos]))
            return 0;
        zero = zero && v[pos] == '0';
    }
    return minus && zero ? 0 : ColumnTypes::Numeric; // -0.0 would lose its sign
}

bool validDate(int year, int month, int day) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= Days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// HH:MM, HH:MM:SS or HH:MM:SS.f (1 to 6 digits) at pos.
bool timeOfDay(QByteArrayView v, qsizetype& pos) {
    int hour = 0, minute = 0, second = 0;
    if (!digits(v, pos, 2, hour) || hour > 23 || pos >= v.size() || v[pos++] != ':' ||
        !digits(v, pos, 2, minute) || minute > 59)
        return false;
    if (pos == v.size() || v[pos] != ':')
        return true;
    ++pos;
    if (!digits(v, pos, 2, second) || second > 59)
        return false;
    if (pos == v.size() || v[pos] != '.')
        return true;
    const qsizetype from = ++pos;
    while (pos < v.size() && digit(v[pos]))
        ++pos;
    return pos - from >= 1 && pos - from <= 6;
}

// Z, +HH, +HH:MM or +HHMM (or minus) from pos to the end.
bool zone(QByteArrayView v, qsizetype pos) {
    if (v.size() - pos == 1 && v[pos] == 'Z')
        return true;
    if (pos == v.size() || (v[pos] != '+' && v[pos] != '-'))
        return false;
    int hours = 0, minutes = 0;
    if (!digits(v, ++pos, 2, hours) || hours > 14)
        return false;
    if (pos == v.size())
        return true;
    if (v[pos] == ':')
        ++pos;
    return digits(v, pos, 2, minutes) && minutes <= 59 && pos == v.size();
}

quint8 dateAndTime(QByteArrayView v) {
    qsizetype pos = 0;
    int year = 0, month = 0, day = 0;
    if (!digits(v, pos, 4, year) || pos >= v.size() || v[pos++] != '-' ||
        !digits(v, pos, 2, month) || pos >= v.size() || v[pos++] != '-' ||
        !digits(v, pos, 2, day) || !validDate(year, month, day))
        return 0;
    if (pos == v.size())
        return ColumnTypes::Date | ColumnTypes::Timestamp;
    if ((v[pos] != ' ' && v[pos] != 'T') || !timeOfDay(v, ++pos))
        return 0;
    if (pos == v.size())
        return ColumnTypes::Timestamp;
    return zone(v, pos) ? ColumnTypes::TimestampTz : 0;
}

} // namespace

quint8 ColumnTypes::candidates(QByteArrayView v) {
    if (v.isEmpty() || v.size() > LongestValue)
        return 0;
    const char c = v.front();
    if (digit(c) && v.size() >= 10 && v[4] == '-')
        return dateAndTime(v);
    if (digit(c) || (c == '-' && v.size() > 1 && digit(v[1])))
        return number(v);
    return words(v);
}

void ColumnTypes::addValue(qsizetype column, QByteArrayView value) {
    if (value.isEmpty())
        return;
    if (column >= static_cast<qsizetype>(m_types.size())) {
        m_types.resize(column + 1, All);
        m_seen.resize(column + 1, false);
    }
    m_seen[column] = true;
    if (m_types[column] != 0)
        m_types[column] &= candidates(value);
}

void ColumnTypes::addText(qsizetype column, const QString& value) {
    for (const QChar c : value) {
        if (c.unicode() >= 0x80) {
            addValue(column, "\x80"); // no type takes it
            return;
        }
    }
    m_scratch = value.toLatin1();
    addValue(column, m_scratch);
}

// A field under the plain rule: its value is the field without its double quotes.
void ColumnTypes::addPlainField(qsizetype column, QByteArrayView field) {
    if (!field.contains('"')) {
        addValue(column, field);
        return;
    }
    m_scratch.resize(0);
    for (const char c : field)
        if (c != '"')
            m_scratch.append(c);
    addValue(column, m_scratch);
}

void ColumnTypes::add(const Record& record, FieldRule rule, QByteArrayView separator,
                      const QuotedFieldParser::LineFields* asciiFields) {
    if (record.fieldCount == 0)
        return;
    if (record.bytes.isNull()) {
        for (qsizetype i = 0; i < record.fields.size(); ++i)
            addText(i, rule == FieldRule::Plain ? QString(record.fields[i]).remove(u'"')
                                                : record.fields[i]);
        return;
    }
    const QByteArrayView line = record.bytes;
    if (rule == FieldRule::Quoted) {
        QuotedFieldParser::LineFields cut;
        if (!asciiFields &&
            (separator.size() != 1 || !QuotedFieldParser::cutAsciiLine(line, separator[0], cut)))
            return;
        const QuotedFieldParser::LineFields& fields = asciiFields ? *asciiFields : cut;
        for (qsizetype i = 0; i < fields.size(); ++i)
            addValue(i, fields[i].doubled
                            ? QByteArrayView("\"")
                            : line.sliced(fields[i].begin, fields[i].end - fields[i].begin));
        return;
    }
    if (separator.size() == 1)
        addPlainLine(line, separator[0], record.unescaped);
    else
        addPlainLine(line, separator);
}

// One pass over a line cut at a separator of one byte; a column already found to be text is
// passed over. An unescaped line holds no double quote. Fields are short: a loop of its own
// finds their ends quicker than a library search would.
void ColumnTypes::addPlainLine(QByteArrayView line, char separator, bool unescaped) {
    const char* from = line.data();
    const char* const end = from + line.size();
    for (qsizetype i = 0;; ++i) {
        const char* at = from;
        while (at != end && *at != separator)
            ++at;
        const QByteArrayView field(from, at - from);
        if (i >= static_cast<qsizetype>(m_types.size()) || m_types[i] != 0) {
            if (unescaped)
                addValue(i, field);
            else
                addPlainField(i, field);
        }
        if (at == end)
            return;
        from = at + 1;
    }
}

void ColumnTypes::addPlainLine(QByteArrayView line, QByteArrayView separator) {
    if (separator.isEmpty()) {
        addPlainField(0, line);
        return;
    }
    qsizetype from = 0;
    for (qsizetype i = 0;; ++i) {
        const qsizetype at = line.indexOf(separator, from);
        addPlainField(i, line.sliced(from, (at < 0 ? line.size() : at) - from));
        if (at < 0)
            return;
        from = at + separator.size();
    }
}

QString ColumnTypes::name(quint8 types) {
    static const char* const Names[] = {"BOOLEAN", "INTEGER",   "BIGINT",     "NUMERIC",
                                        "DATE",    "TIMESTAMP", "TIMESTAMPTZ"};
    for (int bit = 0; bit < 7; ++bit)
        if (types & (1 << bit))
            return QString::fromLatin1(Names[bit]);
    return QStringLiteral("TEXT");
}

bool ColumnTypes::typed(qsizetype column) const {
    return column < static_cast<qsizetype>(m_types.size()) && m_seen[column] &&
           m_types[column] != 0;
}

QStringList ColumnTypes::names(qsizetype columns) const {
    QStringList names;
    for (qsizetype i = 0; i < columns; ++i)
        names.append(typed(i) ? name(m_types[i]) : QStringLiteral("TEXT"));
    return names;
}
