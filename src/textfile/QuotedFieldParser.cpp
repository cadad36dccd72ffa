#include "textfile/QuotedFieldParser.h"

#include "textfile/FieldRule.h"

#include <algorithm>

namespace {

constexpr QChar Quote = QLatin1Char('"');
constexpr QChar CarriageReturn = QLatin1Char('\r');

} // namespace

QuotedFieldParser::QuotedFieldParser(QString separator, QChar lineEnd)
    : m_separator(std::move(separator))
    , m_lineEnd(lineEnd)
    , m_cuts(!m_separator.isEmpty() && !m_separator.contains(CarriageReturn))
    , m_single(m_cuts && m_separator.size() == 1 && m_separator.at(0) != Quote
                   ? m_separator.at(0).unicode()
                   : 0) {}

void QuotedFieldParser::begin(bool keepValues) {
    m_keep = keepValues;
    m_inQuotes = false;
    m_values = QStringList();
    if (m_keep)
        m_values.reserve(m_count); // as many as the last record, most likely
    m_value = QString();
    m_count = 0;
    m_problem = Problem::None;
    m_lines = 0;
    m_quoteLine = 0;
    m_problemLine = 0;
}

void QuotedFieldParser::addUnquoted(QStringView text) {
    if (m_keep) {
        if (!text.isEmpty())
            m_values.append(text.toString());
        else
            m_values.append(m_count == 0 ? emptyValue() : QString());
    }
    ++m_count;
}

void QuotedFieldParser::addQuoted() {
    if (m_keep)
        m_values.append(m_value.isNull() ? emptyValue() : std::move(m_value));
    m_value = QString();
    ++m_count;
}

void QuotedFieldParser::endOfInput() {
    m_problem = Problem::UnclosedQuote;
    m_problemLine = m_quoteLine;
    addQuoted();
}

// Most quoted values are one piece: taken at their size rather than grown.
void QuotedFieldParser::addPiece(QStringView piece) {
    if (m_value.size() > m_valueCap)
        return;
    if (m_value.isEmpty())
        m_value = piece.toString();
    else
        m_value += piece;
}

// Reads quoted text from pos up to the closing quote, which it passes over. False when the
// line ends first.
bool QuotedFieldParser::scanQuoted(QStringView line, qsizetype& pos) {
    const QChar* data = line.data();
    const qsizetype size = line.size();
    for (;;) {
        // A loop of its own: most values are a few characters, shorter than a library search
        // takes to set up.
        qsizetype quote = pos;
        while (quote < size && data[quote] != Quote)
            ++quote;
        if (quote == size) {
            if (m_keep)
                addPiece(line.sliced(pos));
            pos = line.size();
            return false;
        }
        if (m_keep)
            addPiece(line.sliced(pos, quote - pos));
        if (quote + 1 < size && data[quote + 1] == Quote) {
            if (m_keep)
                addPiece(QStringView(&Quote, 1));
            pos = quote + 2;
            continue;
        }
        pos = quote + 1;
        return true;
    }
}

// After a closing quote: true when the record ends here, false when the separator follows
// (pos is then after it). Sets the problem when anything else follows.
bool QuotedFieldParser::afterQuote(QStringView line, qsizetype& pos) {
    const auto skipReturns = [&] {
        while (pos < line.size() && line[pos] == CarriageReturn)
            ++pos;
    };
    skipReturns();
    if (pos == line.size())
        return true;
    for (const QChar wanted : std::as_const(m_separator)) {
        skipReturns();
        if (pos == line.size() || line[pos] != wanted) {
            m_problem = Problem::TextAfterQuote;
            m_problemLine = m_lines - 1;
            return true;
        }
        ++pos;
    }
    if (m_separator.isEmpty()) {
        m_problem = Problem::TextAfterQuote;
        m_problemLine = m_lines - 1;
    }
    return m_separator.isEmpty();
}

bool QuotedFieldParser::addLine(QStringView line) {
    ++m_lines;
    qsizetype pos = 0;
    const qsizetype size = line.size();
    if (m_inQuotes) {
        if (m_keep)
            addPiece(QStringView(&m_lineEnd, 1));
        if (!scanQuoted(line, pos))
            return false;
        m_inQuotes = false;
        addQuoted();
        if (afterQuote(line, pos))
            return true;
    } else {
        qsizetype first = 0;
        while (first < size && line[first] == CarriageReturn)
            ++first;
        if (first == size)
            return true; // an empty record: no fields
        if (m_single != 0 && wholeLine(line))
            return true;
    }
    for (;;) {
        // The start of a field. Carriage returns outside quotes don't count.
        while (pos < size && line[pos] == CarriageReturn)
            ++pos;
        if (pos < size && line[pos] == Quote) {
            ++pos;
            m_value = QString();
            if (!scanQuoted(line, pos)) {
                m_inQuotes = true;
                m_quoteLine = m_lines - 1;
                return false;
            }
            addQuoted();
            if (afterQuote(line, pos))
                return true;
            continue;
        }
        if (unquoted(line, pos))
            return true;
    }
}

namespace {

using LineField = QuotedFieldParser::LineField;
using LineFields = QuotedFieldParser::LineFields;

char16_t code(QChar c) {
    return c.unicode();
}
char16_t code(char c) {
    return static_cast<unsigned char>(c);
}

// A line that is a whole record by itself, as most lines are, cut in one pass: every quote it
// opens it closes, a separator or the line's end follows each closing quote, and carriage
// returns stand only where they are simply left out (before a separator or the line's end,
// or inside quotes, where they are kept). False for any other line, which the general loop
// reads. The characters are QChar, or the bytes of an ASCII line.
template <typename Char>
bool cutWholeLine(const Char* data, qsizetype size, char16_t separator, LineFields& fields) {
    constexpr char16_t QuoteCode = u'"';
    constexpr char16_t ReturnCode = u'\r';
    const auto skipReturns = [&](qsizetype i) {
        while (i < size && code(data[i]) == ReturnCode)
            ++i;
        return i;
    };
    qsizetype i = skipReturns(0);
    for (;;) {
        LineField field{i, i, false, false};
        if (i < size && code(data[i]) == QuoteCode) {
            field.quoted = true;
            field.begin = ++i;
            for (;;) {
                while (i < size && code(data[i]) != QuoteCode)
                    ++i;
                if (i == size)
                    return false; // the value goes on in the next line
                if (i + 1 < size && code(data[i + 1]) == QuoteCode) {
                    field.doubled = true;
                    i += 2;
                    continue;
                }
                break;
            }
            field.end = i;
            i = skipReturns(i + 1);
            if (i < size && code(data[i]) != separator)
                return false; // text after the closing quote: the loop reports it
        } else {
            while (i < size && code(data[i]) != separator && code(data[i]) != ReturnCode)
                ++i;
            field.end = i;
            i = skipReturns(i);
            if (i < size && code(data[i]) != separator)
                return false; // a carriage return inside the value
        }
        fields.append(field);
        if (i == size)
            return true;
        i = skipReturns(i + 1);
    }
}

} // namespace

bool QuotedFieldParser::cutAsciiLine(QByteArrayView line, char separator, LineFields& fields) {
    fields.clear();
    const bool empty = std::all_of(line.begin(), line.end(), [](char c) { return c == '\r'; });
    return !empty && cutWholeLine(line.data(), line.size(), code(separator), fields);
}

qsizetype QuotedFieldParser::countAsciiLine(QByteArrayView line, char separator) {
    LineFields fields;
    if (cutAsciiLine(line, separator, fields))
        return fields.size();
    // An empty record has no fields.
    return std::all_of(line.begin(), line.end(), [](char c) { return c == '\r'; }) ? 0 : -1;
}

bool QuotedFieldParser::wholeLine(QStringView line) {
    LineFields fields;
    if (!cutWholeLine(line.data(), line.size(), m_single, fields))
        return false;
    if (!m_keep) {
        m_count = fields.size();
        return true;
    }
    m_values.reserve(fields.size());
    for (const LineField& field : fields) {
        const QStringView text = line.sliced(field.begin, field.end - field.begin);
        if (!field.quoted) {
            addUnquoted(text);
            continue;
        }
        m_value = text.toString();
        if (field.doubled)
            m_value.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        addQuoted();
    }
    return true;
}

// An unquoted field from pos; true when the record ends with it, false when a separator
// follows (pos is then after it).
bool QuotedFieldParser::unquoted(QStringView line, qsizetype& pos) {
    const qsizetype size = line.size();
    const qsizetype found = m_cuts ? line.indexOf(m_separator, pos) : -1;
    QStringView field = line.sliced(pos, (found < 0 ? size : found) - pos);
    // Carriage returns at the end of a field (a CR LF line end) are dropped at once; before a
    // longer separator they might stand between its characters, and are left to the loop.
    if (m_separator.size() <= 1 || found < 0) {
        while (field.endsWith(CarriageReturn))
            field.chop(1);
    }
    if (!field.contains(CarriageReturn)) {
        addUnquoted(field);
        if (found < 0)
            return true;
        pos = found + m_separator.size();
        return false;
    }
    // Carriage returns inside the field: they are dropped before the separator is looked for,
    // so the field is gathered character by character.
    QString gathered;
    while (pos < size) {
        const QChar c = line[pos++];
        if (c == CarriageReturn)
            continue;
        gathered += c;
        if (m_cuts && gathered.endsWith(m_separator)) {
            gathered.chop(m_separator.size());
            addUnquoted(gathered);
            return false;
        }
    }
    addUnquoted(gathered);
    return true;
}
