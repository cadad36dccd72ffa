#include "database/Result.h"

#include <libpq-fe.h>

void Result::Clear::operator()(PGresult* result) const {
    PQclear(result);
}

Result::Result(PGresult* result)
    : m_result(result) {}

int Result::rowCount() const {
    return m_result ? PQntuples(m_result.get()) : 0;
}

int Result::fieldCount() const {
    return m_result ? PQnfields(m_result.get()) : 0;
}

QString Result::value(int row, int column) const {
    return QString::fromUtf8(PQgetvalue(m_result.get(), row, column),
                             PQgetlength(m_result.get(), row, column));
}

bool Result::succeeded() const {
    const ExecStatusType status = m_result ? PQresultStatus(m_result.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY;
}

bool Result::isCopyIn() const {
    return m_result && PQresultStatus(m_result.get()) == PGRES_COPY_IN;
}

QString Result::commandTag() const {
    return m_result ? QString::fromUtf8(PQcmdStatus(m_result.get())) : QString();
}

QByteArray Result::errorContext() const {
    const char* context = m_result ? PQresultErrorField(m_result.get(), PG_DIAG_CONTEXT) : nullptr;
    return context ? QByteArray(context) : QByteArray();
}

QByteArray Result::sqlState() const {
    const char* state = m_result ? PQresultErrorField(m_result.get(), PG_DIAG_SQLSTATE) : nullptr;
    return state ? QByteArray(state) : QByteArray();
}

QString Result::primaryMessage() const {
    const char* message =
        m_result ? PQresultErrorField(m_result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    return message ? QString::fromUtf8(message) : QString();
}

QByteArray Result::sourceFunction() const {
    const char* function =
        m_result ? PQresultErrorField(m_result.get(), PG_DIAG_SOURCE_FUNCTION) : nullptr;
    return function ? QByteArray(function) : QByteArray();
}

bool Result::isNull(int row, int column) const {
    return PQgetisnull(m_result.get(), row, column) != 0;
}
