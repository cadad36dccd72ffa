#include "sending/copy/CopyStream.h"

#include "database/Connection.h"
#include "sending/TableRefusal.h"

#include <algorithm>
#include <cctype>

namespace {
// A line number beyond any COPY statement's lines: what a longer run of digits is read as.
constexpr qsizetype NoSuchLine = qsizetype(1) << 30;
// COPY data is handed to libpq in pieces of about this size while lines arrive, so that the
// server works on them while the next lines are read.
constexpr qsizetype StreamBytes = 64 << 10;
} // namespace

CopyStream::CopyStream(Connection& connection, QByteArray copyStatement, QByteArray table)
    : m_connection(connection)
    , m_statement(std::move(copyStatement))
    , m_contextPrefix("COPY " + table + ", ") {}

bool CopyStream::begin(const QByteArray& before, qsizetype from,
                       const std::function<void(const Result&)>& seen) {
    m_failedLine = 0;
    m_refusal.reset();
    m_fed = from;
    const Result result = seen ? m_connection.run(before + m_statement, seen)
                               : m_connection.run(before + m_statement);
    m_failed = !result.isCopyIn();
    if (m_failed)
        noteFailure(result);
    return !m_failed;
}

bool CopyStream::write(QByteArrayView data) {
    if (!data.isEmpty() && !m_connection.putCopyData(data.constData(), data.size()))
        m_failed = true;
    return !m_failed;
}

void CopyStream::feed(QByteArrayView buffer, qsizetype upTo, bool all) {
    const qsizetype waiting = upTo - m_fed;
    if (waiting == 0 || (!all && waiting < StreamBytes))
        return;
    write(buffer.sliced(m_fed, waiting));
    m_fed = upTo;
}

bool CopyStream::end(const char* error) {
    if (!m_connection.putCopyEnd(error))
        m_failed = true;
    return !m_failed;
}

bool CopyStream::answerReady() {
    return m_connection.answerReady();
}

bool CopyStream::collect() {
    bool ok = !m_failed;
    m_failedLine = 0;
    for (;;) {
        const Result result = m_connection.nextResult();
        if (!result.get())
            return ok;
        if (result.isCopyIn()) {
            // The end did not get through; give up the COPY so that the results can end.
            if (!m_connection.putCopyEnd("the COPY data could not be sent"))
                return false;
            ok = false;
        } else if (!result.succeeded()) {
            ok = false;
            if (m_failedLine == 0)
                m_failedLine = lineNamedIn(result.errorContext());
            noteFailure(result);
        }
    }
}

void CopyStream::noteFailure(const Result& result) {
    if (!m_refusal)
        m_refusal = TableRefusal::wordsOf(result);
}

// The line of the COPY data (counted from 1) that the server's error context names ("COPY
// table, line 12, ..." in the server's language), or 0.
qsizetype CopyStream::lineNamedIn(const QByteArray& context) const {
    for (const QByteArray& line : context.split('\n')) {
        if (!line.startsWith(m_contextPrefix))
            continue;
        qsizetype at = m_contextPrefix.size();
        while (at < line.size() && !std::isdigit(static_cast<unsigned char>(line[at])) &&
               line[at] != ',' && line[at] != ':')
            ++at;
        qsizetype number = 0;
        for (; at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])); ++at)
            number = std::min<qsizetype>(number * 10 + (line[at] - '0'), NoSuchLine);
        return number;
    }
    return 0;
}
