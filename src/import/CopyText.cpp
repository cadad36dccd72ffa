#include "import/CopyText.h"

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

} // namespace

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
