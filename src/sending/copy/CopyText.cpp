#include "sending/copy/CopyText.h"

#include "sending/copy/SeparatorsToTabs.h"
#include "textfile/QuotedFieldParser.h"

#include <array>
#include <cstring>

namespace {

// Writes one byte of a value, escaped for COPY's text format; returns the new end. Under the
// plain rule (DropQuotes) a double quote is left out.
template <bool DropQuotes> inline char* putEscaped(char* out, char c) {
    switch (c) {
    case '\\':
        *out++ = '\\';
        *out++ = '\\';
        break;
    case '\t':
        *out++ = '\\';
        *out++ = 't';
        break;
    case '\n':
        *out++ = '\\';
        *out++ = 'n';
        break;
    case '\r':
        *out++ = '\\';
        *out++ = 'r';
        break;
    case '"':
        if (!DropQuotes)
            *out++ = c;
        break;
    default:
        *out++ = c;
    }
    return out;
}

template <bool Plain> void appendLine(QByteArray& out, const QStringList& fields) {
    // Room for the worst case (every UTF-16 unit as three bytes, escapes as two), taken once
    // for the line and given back at its end.
    qsizetype room = fields.size();
    for (const QString& field : fields)
        room += 3 * field.size() + 2;
    const qsizetype start = out.size();
    out.resize(start + room);
    char* end = out.data() + start;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString& field = fields[i];
        if (i > 0)
            *end++ = '\t';
        bool empty = true;
        bool ascii = true;
        for (const QChar c : field) {
            const char16_t u = c.unicode();
            if (!Plain || u != u'"')
                empty = false;
            if (u >= 0x80)
                ascii = false;
        }
        const bool null = Plain ? empty && i > 0 : field.isNull();
        if (null) {
            *end++ = '\\';
            *end++ = 'N';
            continue;
        }
        if (empty)
            continue;
        if (ascii) {
            for (const QChar c : field)
                end = putEscaped<Plain>(end, static_cast<char>(c.unicode()));
        } else {
            // Quotes go before the conversion, as in the row statement, so that the bytes are
            // those of the statement's text.
            QString value = field;
            if (Plain)
                value.remove(QLatin1Char('"'));
            const QByteArray utf8 = value.toUtf8();
            const qsizetype used = end - out.constData();
            if (used + 2 * utf8.size() + 1 > out.size()) {
                out.resize(used + 2 * utf8.size() + room);
                end = out.data() + used;
            }
            for (const char c : utf8)
                end = putEscaped<Plain>(end, c);
        }
    }
    *end++ = '\n';
    out.truncate(end - out.constData());
}

// The bytes that a plain value does not pass over as they are: COPY's escapes and the double
// quote the plain rule leaves out.
constexpr auto Special = [] {
    std::array<bool, 256> special{};
    for (const char c : {'\\', '\t', '\n', '\r', '"'})
        special[static_cast<unsigned char>(c)] = true;
    return special;
}();

// Where the COPY line of a plain UTF-8 line goes: written at out (Write), or only its bytes
// counted (so that a long line is measured before room is taken for it). Lives for one line.
template <bool Write> struct CopyLineOut {
    explicit CopyLineOut(char* start)
        : out(start) {}

    char* out;
    qsizetype counted = 0;
    char scratch[3]; // the most that one step writes: an escape, or NULL and its terminator
    bool first = true;

    // Where the next bytes are written; put() takes the new end.
    char* at() {
        if constexpr (Write)
            return out;
        else
            return scratch;
    }
    void put(char* written) {
        if constexpr (Write)
            out = written;
        else
            counted += written - scratch;
    }
    // A byte that goes over as it is.
    void pass(char c) {
        if constexpr (Write)
            *out++ = c;
        else
            ++counted;
    }
    // Ends a field: an empty one (after the first) is NULL, as in the row statement.
    void endField(bool empty, char terminator) {
        char* o = at();
        if (empty && !first) {
            *o++ = '\\';
            *o++ = 'N';
        }
        *o++ = terminator;
        put(o);
        first = false;
    }
};

// The common separator of one byte: the fields are cut in the same pass that escapes them,
// without a search per field.
template <bool Write>
inline void cutAtByte(QByteArrayView line, char cut, CopyLineOut<Write>& sink) {
    bool empty = true;
    for (const char c : line) {
        if (!Special[static_cast<unsigned char>(c)] && c != cut) {
            // Most bytes go over as they are: one look in the table instead of the escapes'
            // comparisons.
            empty = false;
            sink.pass(c);
            continue;
        }
        if (c == cut) {
            sink.endField(empty, '\t');
            empty = true;
        } else if (c != '"') {
            empty = false;
            sink.put(putEscaped<true>(sink.at(), c));
        }
    }
    sink.endField(empty, '\n');
}

// The start of the first whole separator of more (or no) bytes in [p, end), or end.
inline const char* findSeparator(const char* p, const char* end, QByteArrayView separator) {
    if (separator.isEmpty())
        return end;
    for (const char* q = p; q < end; ++q) {
        q = static_cast<const char*>(std::memchr(q, separator.front(), end - q));
        if (!q)
            break;
        if (end - q >= separator.size() && std::memcmp(q, separator.data(), separator.size()) == 0)
            return q;
    }
    return end;
}

// Any other separator: each field found by a search, then escaped.
template <bool Write>
inline void cutAtText(QByteArrayView line, QByteArrayView separator, CopyLineOut<Write>& sink) {
    const char* p = line.data();
    const char* const end = p + line.size();
    for (;;) {
        const char* const fieldEnd = findSeparator(p, end, separator);
        bool empty = true;
        for (const char* q = p; q < fieldEnd; ++q) {
            if (*q == '"')
                continue;
            empty = false;
            sink.put(putEscaped<true>(sink.at(), *q));
        }
        if (fieldEnd == end) {
            sink.endField(empty, '\n');
            return;
        }
        sink.endField(empty, '\t');
        p = fieldEnd + separator.size();
    }
}

// Writes the COPY line of a plain UTF-8 line at out, or only counts its bytes (Write false);
// returns their number.
template <bool Write>
qsizetype utf8CopyLine(QByteArrayView line, QByteArrayView separator, char* out) {
    CopyLineOut<Write> sink(out);
    if (separator.size() == 1)
        cutAtByte(line, separator.front(), sink);
    else
        cutAtText(line, separator, sink);
    if constexpr (Write)
        return sink.out - out;
    else
        return sink.counted;
}

} // namespace

void appendCopyLineFromBytes(QByteArray& out, QByteArrayView line, QByteArrayView separator) {
    const qsizetype start = out.size();
    // A short line takes room for the worst case (every byte escaped, every field NULL); a
    // long one is measured first, so that it takes no more than its text.
    constexpr qsizetype Short = 1 << 16;
    const qsizetype room =
        line.size() <= Short ? 5 * line.size() + 4 : utf8CopyLine<false>(line, separator, nullptr);
    if (start + room > out.capacity())
        out.reserve(start + room);
    out.resize(start + room);
    out.truncate(start + utf8CopyLine<true>(line, separator, out.data() + start));
}

void appendCopyLine(QByteArray& out, const QStringList& fields, FieldRule rule) {
    if (rule == FieldRule::Plain)
        appendLine<true>(out, fields);
    else
        appendLine<false>(out, fields);
}

QStringList copyLineFields(QByteArrayView line) {
    QStringList fields;
    QByteArray value;
    bool null = false;
    const auto flush = [&] {
        fields.append(null ? QString() : value.isEmpty() ? emptyValue() : QString::fromUtf8(value));
        value.clear();
        null = false;
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            flush();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            switch (next) {
            case 't':
                value.append('\t');
                break;
            case 'n':
                value.append('\n');
                break;
            case 'r':
                value.append('\r');
                break;
            case 'N':
                null = true;
                break;
            default:
                value.append(next);
            }
        } else {
            value.append(c);
        }
    }
    flush();
    return fields;
}

bool appendQuotedCopyLineAscii(QByteArray& out, QByteArrayView line, char separator,
                               const QuotedFieldParser::LineFields* cut) {
    QuotedFieldParser::LineFields cutHere;
    if (!cut && !QuotedFieldParser::cutAsciiLine(line, separator, cutHere))
        return false;
    const QuotedFieldParser::LineFields& fields = cut ? *cut : cutHere;
    const qsizetype start = out.size();
    out.resize(start + 2 * line.size() + 2 * fields.size() + 1); // every byte escaped at most
    char* end = out.data() + start;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QuotedFieldParser::LineField& field = fields[i];
        if (i > 0)
            *end++ = '\t';
        if (!field.quoted && field.begin == field.end) {
            if (i > 0) { // an unquoted empty field other than the first is NULL
                *end++ = '\\';
                *end++ = 'N';
            }
            continue;
        }
        for (qsizetype at = field.begin; at < field.end; ++at) {
            const char c = line[at];
            // Most bytes stand as they are: all above the carriage return but the backslash.
            if (static_cast<unsigned char>(c) > '\r' && c != '\\') {
                *end++ = c;
                at += field.doubled && c == '"'; // "" inside the quotes stands for one quote
                continue;
            }
            end = putEscaped<false>(end, c);
        }
    }
    *end++ = '\n';
    out.truncate(end - out.constData());
    return true;
}

void appendUnescapedCopyLine(QByteArray& out, QByteArrayView line, char separator) {
    const qsizetype start = out.size();
    // At most three bytes a field ("\N" and its tab), and a field a byte.
    const qsizetype room = 3 * line.size() + 3;
    if (start + room > out.capacity())
        out.reserve(start + room);
    out.resize(start + room);
    char* o = out.data() + start;
    // The common line, with no empty field after the first, is its bytes with tabs.
    if (separatorsToTabs(o, line, separator)) {
        o[line.size()] = '\n';
        out.truncate(start + line.size() + 1);
        return;
    }
    const char* p = line.data();
    const char* const end = p + line.size();
    for (bool first = true;; first = false) {
        const auto* cut = static_cast<const char*>(std::memchr(p, separator, end - p));
        const char* const fieldEnd = cut ? cut : end;
        if (fieldEnd == p && !first) {
            *o++ = '\\';
            *o++ = 'N';
        } else {
            std::memcpy(o, p, fieldEnd - p);
            o += fieldEnd - p;
        }
        if (!cut)
            break;
        *o++ = '\t';
        p = cut + 1;
    }
    *o++ = '\n';
    out.truncate(o - out.constData());
}

bool appendCopyLineBytes(QByteArray& out, QByteArrayView line, QByteArrayView separator,
                         FieldRule rule, bool unescaped, const QuotedFieldParser::LineFields* cut) {
    if (rule == FieldRule::Plain && unescaped && separator.size() == 1) {
        appendUnescapedCopyLine(out, line, separator.front());
        return true;
    }
    if (rule == FieldRule::Plain) {
        appendCopyLineFromBytes(out, line, separator);
        return true;
    }
    return separator.size() == 1 && appendQuotedCopyLineAscii(out, line, separator.front(), cut);
}
