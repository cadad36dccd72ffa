#pragma once

#include "database/ConnectionSettings.h"
#include "database/DatabaseError.h"
#include "database/Result.h"
#include "database/ServerNotice.h"
#include "database/ServerWait.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <memory>

struct pg_conn;
using PGconn = pg_conn;

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
//
// The server's notices and warnings never reach standard error as libpq's default would print
// them: each goes to the receiver set with setNoticeReceiver(), and is dropped while none is
// set. (Those the server sends while the connection is being opened come before any receiver
// can be set and are printed by libpq.)
class Connection {
public:
    // Opens a connection, giving up after connectTimeoutSeconds (at least 2, as libpq counts
    // them). Throws DatabaseError with libpq's message when it can't.
    static Connection open(const ConnectionSettings& settings, int connectTimeoutSeconds = 15);

    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Asked while a statement waits on the server (ServerWait). After it answered true, a
    // statement the server stopped throws Stopped from execute() and query(), and the raw
    // calls below give failed results; stopTaken() tells them from rejections.
    void setStopCheck(std::function<bool()> stopRequested) {
        m_wait.setStopCheck(std::move(stopRequested));
    }
    bool stopTaken() const { return m_wait.stopTaken(); }
    // Shuts the connection's socket at once, leaving the server to roll back what is open.
    void giveUp() { m_wait.giveUp(m_conn); }

    // Where the server's notices go from now on, on the thread that is using the connection,
    // while libpq reads the server's messages; an empty function drops them. The receiver
    // must not throw; what it throws is dropped.
    void setNoticeReceiver(std::function<void(const ServerNotice&)> receive);

    // Runs one statement on its own and discards any rows. Throws DatabaseError with the
    // server's message when the server rejects it.
    void execute(const QString& statement);

    // Runs a query and keeps its rows. Throws DatabaseError like execute().
    Result query(const QString& statement);
    // The same for one statement, sent by the extended protocol.
    Result queryOne(const QString& statement);
    // One statement with the values of its parameters ($1, $2, ...), as text; waits as
    // ServerWait does and never throws: a failure is a failed result.
    Result runWithValues(const QByteArray& statement, const QList<QByteArray>& values);
    // Several such statements, sent together and answered in one round trip (libpq's pipeline
    // mode) as one transaction: once one fails, the later ones fail unrun. A result for each,
    // in order. For queries that only read.
    struct WithValues {
        QByteArray statement;
        QList<QByteArray> values;
    };
    std::vector<Result> runEachWithValues(const std::vector<WithValues>& statements);

    // The calls below wait as ServerWait does and never throw.
    // Sends one text (it may hold several statements; with params true, a single statement by
    // the extended protocol, as PQexecParams sends it) and reads every answer: the first
    // failed result, or else the last one.
    Result run(const QByteArray& statement, bool params = false);
    // The same for a text of statements, also handing every result before the one returned
    // (and that one too) to seen, in order, as it is read: for the rows of a statement that
    // leads the text.
    Result run(const QByteArray& statement, const std::function<void(const Result&)>& seen);
    // The next result of the statement in flight, null after its last.
    Result nextResult();
    // Sends a text of statements without reading the answer (nextResult() reads it); false
    // when it could not be sent.
    bool sendOnly(const QByteArray& statement);
    // Whether the answer awaited is in, so that reading it won't block: also true when the
    // connection failed, as the failure is then read as the answer. Never waits.
    bool answerReady();
    // Hands COPY data to libpq, waiting while the socket is full; false on failure.
    bool putCopyData(const char* data, qsizetype size);
    // Ends the COPY (with an error text: gives it up) and sends it; false on failure.
    bool putCopyEnd(const char* error = nullptr);
    // Sends what libpq holds for the server; false on failure.
    bool flush() { return m_wait.untilFlushed(m_conn); }
    // One short wait for the server (ServerWait::once()).
    bool awaitSocket(bool forWrite) { return m_wait.once(m_conn, forWrite); }
    // Puts the session back in the state open() leaves it in: DISCARD ALL (settings, role,
    // temporary tables, prepared statements, cursors, advisory locks and listeners of the
    // session are dropped), then this class's own settings again. Only outside a transaction.
    // The reset goes out with the next statement, in its round trip where that statement is
    // one of queryOne() or runEachWithValues(), and in one of its own before any other.
    void resetSession() { m_resetDue = true; }
    // Sends the reset now, if one is due; never throws (a failure shows in what follows).
    void sendDueReset();

    void close();
    bool isOpen() const { return m_conn != nullptr; }
    // Whether libpq saw the connection break (or it was never open).
    bool isBroken() const;
    // Whether a transaction is open (or failed and not yet ended).
    bool inTransaction() const;
    // Whether the connection can take a new statement as a new one could: it still answers
    // (whatever the server sent meanwhile is read: a backend that was ended has closed the
    // socket), nothing is in flight or waits to be sent, no transaction is open and no
    // pipeline. Never waits.
    bool idle();
    // The error text of a failed result of this connection (resultError()).
    QString errorOf(const Result& result) const;
    // The process id of the connection's backend on the server, 0 when not open.
    int backendPid() const;
    // The server's version as libpq reports it (140005 for 14.5), 0 when not open.
    int serverVersion() const;

    // The libpq handle, for Pipeline and for tests that meet libpq itself.
    PGconn* handle() const { return m_conn; }

    // libpq's current error text for this connection, trimmed.
    QString lastError() const;

private:
    // The receiver lives on the heap, so that libpq's pointer to it stays valid when the
    // connection is moved.
    struct Notices {
        std::function<void(const ServerNotice&)> receive;
        bool farewell = false; // the backend said it ends (FATAL between statements)
    };
    static void relayNotice(void* notices, const PGresult* notice);

    explicit Connection(PGconn* conn);
    void applySessionSettings();
    bool conformingStrings() const; // standard_conforming_strings is on, as the server says
    Result checked(Result result);
    Result runNow(const QByteArray& statement, bool params);
    bool sendReset();
    Result collect(const std::function<void(const Result&)>& seen = {});

    PGconn* m_conn = nullptr;
    std::unique_ptr<Notices> m_notices; // made with the connection
    ServerWait m_wait;
    bool m_resetDue = false; // resetSession() was asked, the reset not yet sent
};

// The error text of a failed result (the server's message) or, without one, the
// connection's, with the final line break trimmed.
QString resultError(PGconn* conn, const PGresult* result);
