#include "sending/InsertStatementFromBytes.h"

#include "sending/Statements.h"

#include <algorithm>
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

// What a line's values take in the statement.
struct Written {
    qsizetype bytes = 0;
    qsizetype values = 0;
};

// Writes the values of the line at out, or only measures them (out null).
Written writeValues(QByteArrayView line, QByteArrayView separator, char* out) {
    Written written;
    qsizetype& size = written.bytes;
    const auto put = [&](char c) {
        if (out)
            out[size] = c;
        ++size;
    };
    const char* p = line.data();
    const char* const end = p + line.size();
    for (bool first = true;; first = false) {
        const char* const stop = fieldEnd(p, end, separator);
        ++written.values;
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
            return written;
        p = stop + separator.size();
    }
}

} // namespace

InsertStatementFromBytes::InsertStatementFromBytes(const QString& table,
                                                   const ColumnTargets& targets)
    : m_head((QStringLiteral("INSERT INTO ") + tableReference(table) +
              (targets.byPosition() ? QStringLiteral(" VALUES(") : QStringLiteral(" (")))
                 .toUtf8())
    , m_tail(");") {
    if (targets.byPosition())
        return;
    for (const QString& column : targets.fieldColumns) {
        if (!m_columns.isEmpty())
            m_columns += ", ";
        m_columns += quoteIdentifier(column).toUtf8();
        m_columnEnd.push_back(m_columns.size());
    }
    if (!targets.constantColumn.isEmpty()) {
        m_constantColumn = quoteIdentifier(targets.constantColumn).toUtf8();
        m_tail.prepend(("," + textLiteral(targets.constantValue)).toUtf8());
    }
    m_valuesOpen = ") VALUES(";
}

QByteArray InsertStatementFromBytes::build(QByteArrayView line, QByteArrayView separator) const {
    const Written values = writeValues(line, separator, nullptr);
    // The first field columns, as many as the line has values (all of them for more values).
    const qsizetype listed = std::min<qsizetype>(values.values, m_columnEnd.size());
    const QByteArrayView columns(m_columns.constData(), listed > 0 ? m_columnEnd[listed - 1] : 0);
    const QByteArrayView comma =
        columns.isEmpty() || m_constantColumn.isEmpty() ? QByteArrayView() : QByteArrayView(", ");
    const QByteArrayView parts[] = {m_head, columns, comma, m_constantColumn, m_valuesOpen};
    qsizetype headSize = 0;
    for (const QByteArrayView part : parts)
        headSize += part.size();
    QByteArray statement(headSize + values.bytes + m_tail.size(), Qt::Uninitialized);
    char* out = statement.data();
    for (const QByteArrayView part : parts) {
        if (!part.isEmpty())
            std::memcpy(out, part.data(), part.size());
        out += part.size();
    }
    writeValues(line, separator, out);
    std::memcpy(out + values.bytes, m_tail.constData(), m_tail.size());
    return statement;
}
