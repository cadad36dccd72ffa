#pragma once

#include "database/Pipeline.h"
#include "sending/RowSender.h"
#include "sending/RowStatements.h"

#include <QByteArray>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class Connection;

// Sends every record as its own row statement (RowStatements) through a Pipeline: statements go out
// without waiting for the previous answer, each followed by a sync point and so committing or
// failing on its own, and the answers are read back in order, so rejections reach the callback in
// line order with the server's own text. A record holding the NUL character is not sent; it is
// rejected in its place in the order.
//
// Holds at most a bounded number of unanswered statements. Keeps the connection in pipeline
// mode for its lifetime and gives it back in its usual state by finish(). A connection that
// could not be used rejects every record with libpq's text; one that broke is reported by
// lostConnection().
class InsertSender : public RowSender {
public:
    InsertSender(Connection& connection, RowStatements statements, Rejected rejected);
    ~InsertSender() override;

    void send(const Record& record) override;
    void finish() override;
    qint64 rowsAccepted() const override { return m_accepted; }
    // Every statement sent went in on its own as soon as the server ran it, and the answers of
    // those it ran last were lost with the connection (a server ended in the middle of a
    // pipeline does not send what it still held): those lines are unanswered.
    std::optional<LostConnection> lostConnection() const override;
    // The first answer that refused the table ends the sending; the answers of the statements
    // already in flight are still read, those rows that went in counted, the others counted as
    // not sent without a report of their own.
    std::optional<TableRefusal> refusal() const override { return m_refusal; }

private:
    struct Pending {
        qint64 lineIndex = 0;
        qsizetype bytes = 0;   // statement size while unanswered
        bool local = false;    // rejected here; nothing was sent for it
        bool answered = false; // the statement's own result is in; the sync's is next
        QString error;
        QByteArray sqlState; // the server's, with its error
        QString words;       // the server's primary message, with its error
        QByteArray source;   // the server's function that raised the error
    };

    void rejectHere(qint64 lineIndex, const QString& description);
    void sendStatement(qint64 lineIndex, const QByteArray& statement);
    void drain(std::size_t maxPending, qsizetype maxBytes);
    bool readAnswers();
    bool settleHead();
    void settleLocalHead();
    void breakConnection(const QString& description);
    bool stopTaken();
    bool refusedAt(const Pending& entry);

    Connection& m_connection;
    RowStatements m_statements;
    Rejected m_rejected;
    std::optional<Pipeline> m_pipeline;
    std::deque<Pending> m_pending;
    qsizetype m_pendingBytes = 0;
    qint64 m_accepted = 0;
    bool m_finished = false;
    bool m_stopped = false; // a stop was taken (stopTaken())
    bool m_lost = false;    // the connection broke (lostConnection())
    QString m_broken;       // libpq's text once the connection failed
    std::optional<TableRefusal> m_refusal;
};
