#include "database/Connection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace {

// Sends one statement with the values of its parameters, as text; true when libpq took it.
bool sendWithValues(PGconn* conn, const QByteArray& statement, const QList<QByteArray>& values) {
    std::vector<const char*> texts;
    for (const QByteArray& value : values)
        texts.push_back(value.constData());
    return PQsendQueryParams(conn, statement.constData(), static_cast<int>(texts.size()), nullptr,
                             texts.data(), nullptr, nullptr, 0) == 1;
}

} // namespace

QString resultError(PGconn* conn, const PGresult* result) {
    QString text;
    if (result)
        text = QString::fromUtf8(PQresultErrorMessage(result));
    if (text.isEmpty() && conn)
        text = QString::fromUtf8(PQerrorMessage(conn));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        text = QStringLiteral("The database connection failed.");
    return text;
}

Connection Connection::open(const ConnectionSettings& settings, int connectTimeoutSeconds) {
    const std::pair<const char*, const QString*> given[] = {
        {"host", &settings.server},       {"port", &settings.port},       {"user", &settings.user},
        {"password", &settings.password}, {"dbname", &settings.database},
    };
    std::vector<QByteArray> storage;
    std::vector<const char*> keys;
    std::vector<const char*> values;
    storage.reserve(std::size(given));
    for (const auto& [key, value] : given) {
        if (value->isEmpty())
            continue;
        storage.push_back(value->toUtf8());
        keys.push_back(key);
        values.push_back(storage.back().constData());
    }
    const QByteArray timeout = QByteArray::number(std::max(connectTimeoutSeconds, 2));
    const std::pair<const char*, const char*> fixed[] = {
        {"client_encoding", "UTF8"},  {"connect_timeout", timeout.constData()},
        {"keepalives", "1"},          {"keepalives_idle", "10"},
        {"keepalives_interval", "5"}, {"keepalives_count", "3"},
    };
    for (const auto& [key, value] : fixed) {
        keys.push_back(key);
        values.push_back(value);
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);

    // expand_dbname 0: a database value holding "=" or a URI stays a database name.
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!conn)
        throw DatabaseError(QStringLiteral("Out of memory while connecting to the server."));
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = resultError(conn, nullptr);
        PQfinish(conn);
        throw DatabaseError(message);
    }
    Connection connection(conn);
    connection.applySessionSettings();
    return connection;
}

// The server reports standard_conforming_strings as the session starts and at every change,
// so libpq knows it: where the server's own default keeps it on, the round trip that would set
// it is spared (a connection waited for, a lane's among them, begins its work that much sooner).
bool Connection::conformingStrings() const {
    const char* const conforming =
        m_conn ? PQparameterStatus(m_conn, "standard_conforming_strings") : nullptr;
    return conforming && qstrcmp(conforming, "on") == 0;
}

void Connection::applySessionSettings() {
    if (!conformingStrings())
        execute(QStringLiteral("SET standard_conforming_strings = on"));
}

void Connection::sendDueReset() {
    if (!std::exchange(m_resetDue, false))
        return;
    // DISCARD ALL can't run inside a transaction block, so it goes alone.
    runNow("DISCARD ALL", false);
    if (!conformingStrings()) // as the DISCARD left it
        runNow("SET standard_conforming_strings = on", false);
}

Connection::Connection(PGconn* conn)
    : m_conn(conn)
    , m_notices(std::make_unique<Notices>()) {
    PQsetNoticeReceiver(m_conn, &Connection::relayNotice, m_notices.get());
}

Connection::Connection(Connection&& other) noexcept
    : m_conn(std::exchange(other.m_conn, nullptr))
    , m_notices(std::move(other.m_notices))
    , m_wait(std::move(other.m_wait)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        m_conn = std::exchange(other.m_conn, nullptr);
        m_notices = std::move(other.m_notices);
        m_wait = std::move(other.m_wait);
    }
    return *this;
}

void Connection::setNoticeReceiver(std::function<void(const ServerNotice&)> receive) {
    if (m_notices)
        m_notices->receive = std::move(receive);
}

// Called by libpq, inside whichever of its calls read the notice; nothing may be thrown back
// through it.
void Connection::relayNotice(void* notices, const PGresult* notice) {
    Notices* relay = static_cast<Notices*>(notices);
    // A FATAL message between statements is the backend's last: it closes the socket next.
    const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
    const bool ending =
        severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0);
    relay->farewell = relay->farewell || ending;
    if (!relay->receive)
        return;
    try {
        ServerNotice received;
        received.text = QString::fromUtf8(PQresultErrorMessage(notice));
        while (received.text.endsWith(QLatin1Char('\n')))
            received.text.chop(1);
        if (const char* state = PQresultErrorField(notice, PG_DIAG_SQLSTATE))
            received.sqlState = QString::fromLatin1(state);
        received.error = ending || (severity && qstrcmp(severity, "ERROR") == 0);
        relay->receive(received);
    } catch (...) {
    }
}

Connection::~Connection() {
    close();
}

void Connection::close() {
    if (m_conn)
        PQfinish(std::exchange(m_conn, nullptr));
}

bool Connection::isBroken() const {
    return !m_conn || PQstatus(m_conn) != CONNECTION_OK;
}

bool Connection::inTransaction() const {
    return m_conn && PQtransactionStatus(m_conn) != PQTRANS_IDLE;
}

bool Connection::idle() {
    if (!m_conn || PQconsumeInput(m_conn) == 0 || PQstatus(m_conn) != CONNECTION_OK)
        return false;
    // PQisBusy() parses what was read, a backend's last message among it (farewell).
    return PQisBusy(m_conn) == 0 && !m_notices->farewell &&
           PQtransactionStatus(m_conn) == PQTRANS_IDLE &&
           PQpipelineStatus(m_conn) == PQ_PIPELINE_OFF && PQflush(m_conn) == 0;
}

QString Connection::errorOf(const Result& result) const {
    return resultError(m_conn, result.get());
}

int Connection::backendPid() const {
    return m_conn ? PQbackendPID(m_conn) : 0;
}

int Connection::serverVersion() const {
    return m_conn ? PQserverVersion(m_conn) : 0;
}

QString Connection::lastError() const {
    return resultError(m_conn, nullptr);
}

Result Connection::checked(Result result) {
    PGresult* raw = result.get();
    const auto status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY)
        return result;
    if (stopTaken())
        throw Stopped(resultError(m_conn, raw));
    throw DatabaseError(resultError(m_conn, raw));
}

Result Connection::nextResult() {
    m_wait.untilAnswer(m_conn);
    return Result(m_conn ? PQgetResult(m_conn) : nullptr);
}

Result Connection::run(const QByteArray& statement, bool params) {
    if (params && m_resetDue)
        return std::move(runEachWithValues({{statement, {}}}).front());
    sendDueReset();
    return runNow(statement, params);
}

Result Connection::runNow(const QByteArray& statement, bool params) {
    if (!m_conn)
        return Result(nullptr);
    PQsetnonblocking(m_conn, 1);
    const int sent = params ? PQsendQueryParams(m_conn, statement.constData(), 0, nullptr, nullptr,
                                                nullptr, nullptr, 0)
                            : PQsendQuery(m_conn, statement.constData());
    if (sent != 1)
        return Result(PQmakeEmptyPGresult(m_conn, PGRES_FATAL_ERROR));
    return collect();
}

Result Connection::run(const QByteArray& statement,
                       const std::function<void(const Result&)>& seen) {
    sendDueReset();
    if (!m_conn)
        return Result(nullptr);
    PQsetnonblocking(m_conn, 1);
    if (PQsendQuery(m_conn, statement.constData()) != 1)
        return Result(PQmakeEmptyPGresult(m_conn, PGRES_FATAL_ERROR));
    return collect(seen);
}

Result Connection::runWithValues(const QByteArray& statement, const QList<QByteArray>& values) {
    if (m_resetDue)
        return std::move(runEachWithValues({{statement, values}}).front());
    if (!m_conn)
        return Result(nullptr);
    PQsetnonblocking(m_conn, 1);
    if (!sendWithValues(m_conn, statement, values))
        return Result(PQmakeEmptyPGresult(m_conn, PGRES_FATAL_ERROR));
    return collect();
}

std::vector<Result> Connection::runEachWithValues(const std::vector<WithValues>& statements) {
    std::vector<Result> results;
    const bool together = m_conn && PQenterPipelineMode(m_conn) == 1;
    if (together)
        PQsetnonblocking(m_conn, 1);
    else
        sendDueReset();
    // A reset due goes first, each statement before its own sync point, in the same round trip.
    const bool resetting = together && std::exchange(m_resetDue, false);
    bool sent = together && (!resetting || sendReset());
    for (const WithValues& each : statements) {
        if (!together) {
            results.push_back(runWithValues(each.statement, each.values));
            continue;
        }
        sent = sent && sendWithValues(m_conn, each.statement, each.values);
    }
    if (!together)
        return results;
    sent = sent && PQpipelineSync(m_conn) == 1 && flush();
    for (int i = 0; sent && resetting && i < 2; ++i) {
        collect();
        nextResult(); // the sync's answer
    }
    for (std::size_t i = 0; i < statements.size(); ++i)
        results.push_back(sent ? collect()
                               : Result(PQmakeEmptyPGresult(m_conn, PGRES_FATAL_ERROR)));
    // The sync's answer ends the round trip; a connection that broke has none to give.
    if (sent && !isBroken())
        nextResult();
    PQexitPipelineMode(m_conn);
    return results;
}

// Queues the reset in pipeline mode: DISCARD ALL and this class's settings, each followed by
// a sync point (DISCARD ALL can't share a transaction).
bool Connection::sendReset() {
    return sendWithValues(m_conn, "DISCARD ALL", {}) && PQpipelineSync(m_conn) == 1 &&
           sendWithValues(m_conn, "SET standard_conforming_strings = on", {}) &&
           PQpipelineSync(m_conn) == 1;
}

bool Connection::sendOnly(const QByteArray& statement) {
    sendDueReset();
    if (!m_conn)
        return false;
    PQsetnonblocking(m_conn, 1);
    return PQsendQuery(m_conn, statement.constData()) == 1 && flush();
}

bool Connection::answerReady() {
    if (!m_conn || PQflush(m_conn) < 0 || PQconsumeInput(m_conn) != 1)
        return true; // the failure is read as the answer
    return PQisBusy(m_conn) == 0;
}

// Reads every answer of what was sent: the first failed result, or else the last one; a COPY
// at once, for the caller to go on with.
Result Connection::collect(const std::function<void(const Result&)>& seen) {
    Result kept(nullptr);
    bool failed = false;
    for (;;) {
        Result next = nextResult();
        if (!next.get())
            break;
        if (seen)
            seen(next);
        const ExecStatusType status = PQresultStatus(next.get());
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH)
            return next; // the caller goes on with the COPY
        if (failed)
            continue;
        failed =
            status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY;
        kept = std::move(next);
    }
    if (!kept.get())
        return Result(PQmakeEmptyPGresult(m_conn, PGRES_FATAL_ERROR));
    return kept;
}

bool Connection::putCopyData(const char* data, qsizetype size) {
    while (size > 0) {
        // One COPY message at most 64 KiB: libpq's output buffer holds a whole message, so a
        // long line handed over at once would be copied whole into it.
        const int piece = static_cast<int>(std::min<qsizetype>(size, 64 << 10));
        const int put = PQputCopyData(m_conn, data, piece);
        if (put < 0)
            return false;
        if (put == 1) {
            data += piece;
            size -= piece;
        } else if (!m_wait.untilWritable(m_conn)) {
            return false;
        }
    }
    return true;
}

bool Connection::putCopyEnd(const char* error) {
    for (;;) {
        const int put = PQputCopyEnd(m_conn, error);
        if (put < 0)
            return false;
        if (put == 1)
            return flush();
        if (!m_wait.untilWritable(m_conn))
            return false;
    }
}

void Connection::execute(const QString& statement) {
    query(statement);
}

Result Connection::query(const QString& statement) {
    if (!m_conn)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    return checked(run(statement.toUtf8()));
}

Result Connection::queryOne(const QString& statement) {
    if (!m_conn)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    return checked(run(statement.toUtf8(), true));
}
