#pragma once

#include "database/ConnectionSettings.h"
#include "shell/Failure.h"

#include <QString>
#include <memory>

struct pg_conn;
struct pg_result;
using PGconn = pg_conn;
using PGresult = pg_result;

// A failure reported by the server or by libpq; the description is their own text.
class DatabaseError : public Failure {
public:
    using Failure::Failure;
};

// The rows and columns of one query. Owns its PGresult.
class Result {
public:
    explicit Result(PGresult* result);

    int rowCount() const;
    int fieldCount() const;
    // The value at a row and column as text; NULL reads as the empty text.
    QString value(int row, int column) const;
    bool isNull(int row, int column) const;

    PGresult* get() const { return m_result.get(); }

private:
    struct Clear {
        void operator()(PGresult* result) const;
    };
    std::unique_ptr<PGresult, Clear> m_result;
};

// One open database connection, closed when it is destroyed. Move-only. Not thread-safe: use
// it from one thread at a time.
//
// Opened from the five connection values themselves, each handed to libpq as a parameter of
// its own (an empty value leaves libpq's default), never from the connection string: no value
// can add, replace or redirect another, whatever ";", "=", braces, quotes or spaces it holds.
// Every connection speaks UTF-8, has standard_conforming_strings on (a backslash inside a
// quoted text is plain text), gives up connecting after 15 seconds, and has TCP keepalives on
// (first probe after 10 s idle, then every 5 s, given up after 3 unanswered), so that a server
// that vanished without closing the connection is noticed in about 25 s.
class Connection {
public:
    // Opens a connection. Throws DatabaseError with libpq's message when it can't.
    static Connection open(const ConnectionSettings& settings);

    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Runs one statement on its own and discards any rows. Throws DatabaseError with the
    // server's message when the server rejects it.
    void execute(const QString& statement);

    // Runs a query and keeps its rows. Throws DatabaseError like execute().
    Result query(const QString& statement);

    // Puts the session back in the state open() leaves it in: DISCARD ALL (settings, role,
    // temporary tables, prepared statements, cursors, advisory locks and listeners of the
    // session are dropped), then this class's own settings again. Throws DatabaseError. Only
    // outside a transaction.
    void resetSession();

    void close();
    bool isOpen() const { return m_conn != nullptr; }

    // The libpq handle, for work this class does not wrap (pipelines, COPY).
    PGconn* handle() const { return m_conn; }

    // libpq's current error text for this connection, trimmed.
    QString lastError() const;

private:
    explicit Connection(PGconn* conn);
    void applySessionSettings();
    Result checked(PGresult* result);

    PGconn* m_conn = nullptr;
};

// The error text of a failed result (the server's message) or, without one, the
// connection's, with the final line break trimmed.
QString resultError(PGconn* conn, const PGresult* result);
