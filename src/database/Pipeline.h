#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class Connection;

// libpq's pipeline mode on one connection, from entering it until leave(): statements go out
// without waiting for the previous one's answer, each followed by a sync point, so that each
// commits or fails on its own, and their answers are taken back in order. The connection waits
// in non-blocking mode meanwhile. Never throws; used from the connection's thread.
class Pipeline {
public:
    // One piece of what the server answers, in order: a statement's result, the end of that
    // statement's results, and the sync point's own answer.
    struct Answer {
        enum class Kind { Result, End, Sync };
        Kind kind = Kind::End;
        bool failed = false; // a result that is an error (or the statement was skipped)
        QString error;       // its text, when failed
        QByteArray sqlState; // the server's SQLSTATE, when failed (Result::sqlState())
        QString words;       // the server's primary message, when failed
        QByteArray source;   // the server's function that raised it (Result::sourceFunction())
        QString tag;         // the command tag of a result that succeeded
        QStringList row;     // the values of its first row, if any
    };

    // Enters the mode; entered() says whether it could.
    explicit Pipeline(Connection& connection);
    bool entered() const { return m_entered; }

    // Queues a statement (the extended protocol, no parameters) and a sync point; false when
    // libpq would not take them.
    bool send(const QByteArray& statement) { return queue(statement) && sync(); }
    // Queues a statement without a sync point: a failure skips every statement queued after
    // it up to the next sync point. False when libpq would not take it.
    bool queue(const QByteArray& statement);
    bool sync();
    // Hands queued bytes to the socket without waiting: 0 all sent, 1 some still queued, -1 the
    // connection failed.
    int flush();
    // Reads what the server sent without waiting; false when the connection failed.
    bool consume();
    // Whether the next answer can be taken without waiting.
    bool answerWaiting();
    Answer take();
    // Leaves the mode and blocking mode is back; the pipeline is no longer used.
    void leave();

private:
    Connection& m_connection;
    bool m_entered = false;
};
