#include "database/Pipeline.h"

#include "database/Connection.h"

#include <libpq-fe.h>

Pipeline::Pipeline(Connection& connection)
    : m_connection(connection) {
    m_connection.sendDueReset();
    PGconn* conn = m_connection.handle();
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return;
    if (PQsetnonblocking(conn, 1) != 0 || PQenterPipelineMode(conn) != 1) {
        PQsetnonblocking(conn, 0);
        return;
    }
    m_entered = true;
}

bool Pipeline::queue(const QByteArray& statement) {
    return PQsendQueryParams(m_connection.handle(), statement.constData(), 0, nullptr, nullptr,
                             nullptr, nullptr, 0) == 1;
}

bool Pipeline::sync() {
    return PQpipelineSync(m_connection.handle()) == 1;
}

int Pipeline::flush() {
    return PQflush(m_connection.handle());
}

bool Pipeline::consume() {
    return PQconsumeInput(m_connection.handle()) == 1;
}

bool Pipeline::answerWaiting() {
    return PQisBusy(m_connection.handle()) == 0;
}

Pipeline::Answer Pipeline::take() {
    Answer answer;
    const Result result(PQgetResult(m_connection.handle()));
    if (!result.get())
        return answer;
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_PIPELINE_SYNC) {
        answer.kind = Answer::Kind::Sync;
        return answer;
    }
    answer.kind = Answer::Kind::Result;
    if (status == PGRES_FATAL_ERROR || status == PGRES_PIPELINE_ABORTED ||
        status == PGRES_NONFATAL_ERROR || status == PGRES_BAD_RESPONSE) {
        answer.failed = true;
        answer.error = m_connection.errorOf(result);
        answer.sqlState = result.sqlState();
        answer.words = result.primaryMessage();
        answer.source = result.sourceFunction();
        return answer;
    }
    answer.tag = result.commandTag();
    for (int column = 0; result.rowCount() > 0 && column < result.fieldCount(); ++column)
        answer.row.append(result.value(0, column));
    return answer;
}

void Pipeline::leave() {
    PGconn* conn = m_connection.handle();
    if (m_entered && conn) {
        PQexitPipelineMode(conn);
        PQsetnonblocking(conn, 0);
    }
    m_entered = false;
}
