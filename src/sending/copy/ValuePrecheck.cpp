#include "sending/copy/ValuePrecheck.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace {

// Built-in type numbers, fixed in every server.
enum : quint32 {
    BoolType = 16,
    Int8Type = 20,
    Int2Type = 21,
    Int4Type = 23,
    Float4Type = 700,
    Float8Type = 701,
    BpcharType = 1042,
    VarcharType = 1043,
    DateType = 1082,
    NumericType = 1700,
};

bool checksType(quint32 type) {
    switch (type) {
    case BoolType:
    case Int8Type:
    case Int2Type:
    case Int4Type:
    case Float4Type:
    case Float8Type:
    case BpcharType:
    case VarcharType:
    case DateType:
    case NumericType:
        return true;
    default:
        return false;
    }
}

// The white space the server's number, truth value and date readers skip around a value.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

QByteArrayView trimmed(QByteArrayView value) {
    while (!value.isEmpty() && isBlank(value.front()))
        value = value.sliced(1);
    while (!value.isEmpty() && isBlank(value.back()))
        value.chop(1);
    return value;
}

QByteArrayView withoutSign(QByteArrayView value) {
    return !value.isEmpty() && (value.front() == '+' || value.front() == '-') ? value.sliced(1)
                                                                              : value;
}

// Forms some servers read that the strict readers below do not know: digit separators
// ("1_000"), other bases ("0x1F", also hexadecimal floating point), NaN and the infinities
// (those words only, in any case: "n/a" is no number to any server).
bool mayBeWiderForm(QByteArrayView unsigned_) {
    if (unsigned_.contains('_'))
        return true;
    if (unsigned_.size() >= 2 && unsigned_[0] == '0') {
        const char base = lower(unsigned_[1]);
        if (base == 'x' || base == 'o' || base == 'b')
            return true;
    }
    QByteArray word(unsigned_.size(), '\0');
    std::transform(unsigned_.begin(), unsigned_.end(), word.begin(), lower);
    return word == "nan" || word == "inf" || word == "infinity";
}

bool allDigits(QByteArrayView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit);
}

bool rejectsInteger(QByteArrayView value, quint64 positiveMax) {
    value = trimmed(value);
    const bool negative = !value.isEmpty() && value.front() == '-';
    const QByteArrayView digits = withoutSign(value);
    if (!allDigits(digits)) {
        // NaN and infinities are no integers, but the other wider forms may be.
        return !(mayBeWiderForm(digits) && !digits.isEmpty() && lower(digits.front()) != 'n' &&
                 lower(digits.front()) != 'i');
    }
    qsizetype first = 0;
    while (first < digits.size() - 1 && digits[first] == '0')
        ++first;
    const QByteArrayView significant = digits.sliced(first);
    if (significant.size() > 19)
        return true;
    quint64 number = 0;
    for (const char c : significant)
        number = number * 10 + static_cast<quint64>(c - '0');
    return number > positiveMax + (negative ? 1 : 0);
}

// The decimal form: digits with an optional point, an optional exponent. Sets integerDigits
// to the number of digits before the point, leading zeros not counted, and exponent to
// whether there is one.
bool isDecimal(QByteArrayView text, qsizetype& integerDigits, bool& exponent) {
    qsizetype at = 0;
    qsizetype digits = 0;
    integerDigits = 0;
    exponent = false;
    bool leading = true;
    for (; at < text.size() && isDigit(text[at]); ++at, ++digits) {
        leading = leading && text[at] == '0';
        if (!leading)
            ++integerDigits;
    }
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && isDigit(text[at]); ++at)
            ++digits;
    if (digits == 0)
        return false;
    if (at < text.size() && lower(text[at]) == 'e') {
        exponent = true;
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        if (!allDigits(text.sliced(at)))
            return false;
        at = text.size();
    }
    return at == text.size();
}

bool rejectsNumber(QByteArrayView value, int typmod, bool numeric) {
    const QByteArrayView number = withoutSign(trimmed(value));
    qsizetype integerDigits = 0;
    bool exponent = false;
    if (!isDecimal(number, integerDigits, exponent))
        return !mayBeWiderForm(number);
    if (!numeric || typmod < 4 || exponent)
        return false;
    // numeric(p, s): at most p - s digits before the point (one more after rounding is not
    // guessed at: such a value is called good).
    const int precision = ((typmod - 4) >> 16) & 0xffff;
    const int scale = (((typmod - 4) & 0x7ff) ^ 1024) - 1024;
    return scale >= 0 && scale <= precision && integerDigits > precision - scale;
}

bool rejectsBoolean(QByteArrayView value) {
    const QByteArrayView text = trimmed(value);
    if (text.isEmpty())
        return true;
    const auto prefixOf = [&](const char* word, qsizetype least) {
        if (text.size() < least || text.size() > qsizetype(std::strlen(word)))
            return false;
        for (qsizetype i = 0; i < text.size(); ++i)
            if (lower(text[i]) != word[i])
                return false;
        return true;
    };
    return !(prefixOf("true", 1) || prefixOf("false", 1) || prefixOf("yes", 1) ||
             prefixOf("no", 1) || prefixOf("on", 2) || prefixOf("off", 2) || text == "1" ||
             text == "0");
}

bool rejectsDate(QByteArrayView value) {
    const QByteArrayView text = trimmed(value);
    if (text.isEmpty())
        return true;
    if (std::none_of(text.begin(), text.end(), isDigit)) {
        static const char* const words[] = {"today", "tomorrow", "yesterday", "now",
                                            "epoch", "infinity", "-infinity", "+infinity"};
        return std::none_of(std::begin(words), std::end(words), [&](const char* word) {
            if (qsizetype(std::strlen(word)) != text.size())
                return false;
            for (qsizetype i = 0; i < text.size(); ++i)
                if (lower(text[i]) != word[i])
                    return false;
            return true;
        });
    }
    // The ISO form YYYY-MM-DD, read so in every date style: month and day must exist.
    const qsizetype dash1 = text.indexOf('-');
    const qsizetype dash2 = dash1 < 0 ? -1 : text.indexOf('-', dash1 + 1);
    if (dash1 != 4 || dash2 < 0)
        return false;
    const QByteArrayView year = text.first(4);
    const QByteArrayView month = text.sliced(5, dash2 - 5);
    const QByteArrayView day = text.sliced(dash2 + 1);
    if (!allDigits(year) || !allDigits(month) || !allDigits(day) || month.size() > 2 ||
        day.size() > 2)
        return false;
    const auto number = [](QByteArrayView digits) {
        int n = 0;
        for (const char c : digits)
            n = n * 10 + (c - '0');
        return n;
    };
    const int y = number(year);
    const int m = number(month);
    const int d = number(day);
    if (y == 0)
        return false; // year 0 is read otherwise by some date styles: not guessed at
    if (m < 1 || m > 12 || d < 1)
        return true;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d > days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// varchar(n) and char(n): more than n characters, unless the rest is spaces (which the server
// cuts off).
bool rejectsLength(QByteArrayView value, int typmod) {
    if (typmod < 4)
        return false;
    const qsizetype limit = typmod - 4;
    if (value.size() <= limit)
        return false;
    qsizetype characters = 0;
    for (qsizetype at = 0; at < value.size(); ++at) {
        if ((static_cast<unsigned char>(value[at]) & 0xc0) == 0x80)
            continue; // a continuation byte of a UTF-8 sequence
        if (characters == limit)
            return std::any_of(value.begin() + at, value.end(), [](char c) { return c != ' '; });
        ++characters;
    }
    return false;
}

} // namespace

ValuePrecheck::ValuePrecheck(std::vector<Column> columns)
    : m_columns(std::move(columns)) {
    // A table of columns that are neither checked nor NOT NULL (text, as created tables have)
    // costs nothing per line.
    m_active = std::any_of(m_columns.begin(), m_columns.end(), [](const Column& column) {
        return column.notNull || checksType(column.type);
    });
}

bool ValuePrecheck::rejectsLine(QByteArrayView copyLine) const {
    const char* at = copyLine.data();
    const char* const end = at + copyLine.size();
    for (const Column& column : m_columns) {
        const char* tab = static_cast<const char*>(std::memchr(at, '\t', end - at));
        const char* valueEnd = tab ? tab : end;
        if (rejectsValue(column, QByteArrayView(at, valueEnd - at)))
            return true;
        if (!tab)
            break;
        at = tab + 1;
    }
    return false;
}

bool ValuePrecheck::rejectsValue(const Column& column, QByteArrayView value) {
    if (value == "\\N")
        return column.notNull;
    if (value.contains('\\'))
        return false; // escaped characters: not guessed at
    switch (column.type) {
    case Int2Type:
        return rejectsInteger(value, 32767);
    case Int4Type:
        return rejectsInteger(value, 2147483647);
    case Int8Type:
        return rejectsInteger(value, 9223372036854775807ULL);
    case NumericType:
        return rejectsNumber(value, column.typmod, true);
    case Float4Type:
    case Float8Type:
        return rejectsNumber(value, -1, false);
    case BoolType:
        return rejectsBoolean(value);
    case DateType:
        return rejectsDate(value);
    case VarcharType:
    case BpcharType:
        return rejectsLength(value, column.typmod);
    default:
        return false;
    }
}
