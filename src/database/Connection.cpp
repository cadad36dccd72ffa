#include "database/Connection.h"

#include <libpq-fe.h>

#include <utility>
#include <vector>

std::map<QString, QString> parseConnectionString(const QString& text) {
    std::map<QString, QString> pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // A piece without "=" carries no value; skip it.
            if (semicolon < 0)
                break;
            i = semicolon + 1;
            continue;
        }
        const QString key = text.mid(i, equals - i).trimmed().toLower();
        qsizetype j = equals + 1;
        QString value;
        if (j < n && text[j] == QLatin1Char('{')) {
            ++j;
            bool closed = false;
            while (j < n) {
                if (text[j] == QLatin1Char('}')) {
                    if (j + 1 < n && text[j + 1] == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += text[j++];
            }
            if (!closed)
                throw DatabaseError(
                    QStringLiteral("The connection string has an unterminated \"{\" in the "
                                   "value of %1.")
                        .arg(key));
            const qsizetype end = text.indexOf(QLatin1Char(';'), j);
            j = end < 0 ? n : end;
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), j);
            value = text.mid(j, (end < 0 ? n : end) - j);
            j = end < 0 ? n : end;
        }
        if (!key.isEmpty() && pairs.find(key) == pairs.end())
            pairs[key] = value;
        i = j + 1;
    }
    return pairs;
}

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

bool Result::isNull(int row, int column) const {
    return PQgetisnull(m_result.get(), row, column) != 0;
}

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

Connection Connection::open(const QString& connectionString) {
    const auto pairs = parseConnectionString(connectionString);
    const auto driver = pairs.find(QStringLiteral("driver"));
    if (driver == pairs.end())
        throw DatabaseError(QStringLiteral("The connection string names no driver; it must name "
                                           "\"PostgreSQL Unicode\"."));
    if (driver->second.compare(QStringLiteral("PostgreSQL Unicode"), Qt::CaseInsensitive) != 0)
        throw DatabaseError(QStringLiteral("The driver \"%1\" is not supported; the connection "
                                           "string must name \"PostgreSQL Unicode\".")
                                .arg(driver->second));

    // libpq parameter names beside the driver-connect keys they come from.
    static const std::pair<const char*, const char*> mapping[] = {
        {"server", "host"},  {"port", "port"},       {"uid", "user"},
        {"pwd", "password"}, {"database", "dbname"},
    };
    std::vector<QByteArray> storage;
    std::vector<const char*> keys;
    std::vector<const char*> values;
    storage.reserve(std::size(mapping));
    for (const auto& [odbcKey, libpqKey] : mapping) {
        const auto found = pairs.find(QString::fromLatin1(odbcKey));
        if (found == pairs.end() || found->second.isEmpty())
            continue;
        storage.push_back(found->second.toUtf8());
        keys.push_back(libpqKey);
        values.push_back(storage.back().constData());
    }
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back("connect_timeout");
    values.push_back("15");
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!conn)
        throw DatabaseError(QStringLiteral("Out of memory while connecting to the server."));
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = resultError(conn, nullptr);
        PQfinish(conn);
        throw DatabaseError(message);
    }
    Connection connection(conn);
    connection.execute(QStringLiteral("SET standard_conforming_strings = on"));
    return connection;
}

Connection::Connection(PGconn* conn)
    : m_conn(conn) {}

Connection::Connection(Connection&& other) noexcept
    : m_conn(std::exchange(other.m_conn, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        m_conn = std::exchange(other.m_conn, nullptr);
    }
    return *this;
}

Connection::~Connection() {
    close();
}

void Connection::close() {
    if (m_conn)
        PQfinish(std::exchange(m_conn, nullptr));
}

QString Connection::lastError() const {
    return resultError(m_conn, nullptr);
}

Result Connection::checked(PGresult* raw) {
    Result result(raw);
    const auto status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY)
        throw DatabaseError(resultError(m_conn, raw));
    return result;
}

void Connection::execute(const QString& statement) {
    query(statement);
}

Result Connection::query(const QString& statement) {
    if (!m_conn)
        throw DatabaseError(QStringLiteral("The connection is not open."));
    return checked(PQexec(m_conn, statement.toUtf8().constData()));
}
