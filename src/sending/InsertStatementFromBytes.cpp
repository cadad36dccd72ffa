#include "sending/InsertStatementFromBytes.h"

#include "sending/Statements.h"

#include <cstring>

namespace {

// The end of the field that starts at p: the next separator, or the line's end.
const char* fieldEnd(const char* p, const char* end, QByteArrayView separator) {
    if (separator.isEmpty())
        return end;
    for (const char* q = p; q < end; ++q) {
        q = static_cast<const char*>(std::memchr(q, separator.front(), end - q));
        if (!q)
            return end;
        if (end - q >= separator.size() && std::memcmp(q, separator.data(), separator.size()) == 0)
            return q;
    }
    return end;
}

// Writes the values of the line at out, or only counts their bytes (out null); returns the
// number of bytes.
qsizetype writeValues(QByteArrayView line, QByteArrayView separator, char* out) {
    qsizetype size = 0;
    const auto put = [&](char c) {
        if (out)
            out[size] = c;
        ++size;
    };
    const char* p = line.data();
    const char* const end = p + line.size();
    for (bool first = true;; first = false) {
        const char* const stop = fieldEnd(p, end, separator);
        if (!first)
            put(',');
        bool empty = true;
        for (const char* q = p; q < stop; ++q)
            empty = empty && *q == '"';
        if (empty && !first) {
            for (const char c : {'N', 'U', 'L', 'L'})
                put(c);
        } else {
            put('\'');
            for (const char* q = p; q < stop; ++q) {
                if (*q == '"')
                    continue;
                if (*q == '\'')
                    put('\'');
                put(*q);
            }
            put('\'');
        }
        if (stop == end)
            return size;
        p = stop + separator.size();
    }
}

} // namespace

InsertStatementFromBytes::InsertStatementFromBytes(const QString& table)
    : m_prefix((QStringLiteral("INSERT INTO ") + tableReference(table) + QStringLiteral(" VALUES("))
                   .toUtf8()) {}

QByteArray InsertStatementFromBytes::build(QByteArrayView line, QByteArrayView separator) const {
    const qsizetype values = writeValues(line, separator, nullptr);
    QByteArray statement(m_prefix.size() + values + 2, Qt::Uninitialized);
    char* out = statement.data();
    std::memcpy(out, m_prefix.constData(), m_prefix.size());
    writeValues(line, separator, out + m_prefix.size());
    std::memcpy(out + m_prefix.size() + values, ");", 2);
    return statement;
}
