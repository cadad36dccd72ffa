#pragma once

#include "sending/InsertStatementUtf8.h"
#include "sending/RowSender.h"
#include "textfile/FieldRule.h"

#include <QByteArray>
#include <deque>
#include <functional>

// Sends every data line as its own INSERT INTO statement (BuildInsertStatement) through
// libpq's pipeline mode: statements go out without waiting for the previous answer, each is
// followed by a sync point and so commits or fails on its own, and the answers are read back
// in order, so rejections reach the callback in line order with the server's own text. A
// line holding the NUL character is not sent; it is rejected in its place in the order.
//
// Holds at most a bounded number of unanswered statements. Takes the connection into pipeline
// mode for its lifetime and gives it back in its usual state by finish(). Never throws from
// send() or finish() for a failure of the server or the connection: a connection that could
// not be used rejects every line with libpq's text; one that broke is connectionLost().
class InsertSender : public RowSender {
public:
    // The rule says how the fields become values (FieldRule.h).
    InsertSender(Connection& connection, QString table, QString path, Rejected rejected,
                 FieldRule rule = FieldRule::Plain);
    ~InsertSender() override;

    void send(qint64 lineIndex, const QStringList& fields) override;
    // Under the plain rule the statement is built from the line's bytes (InsertStatementUtf8).
    void sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                  qsizetype fieldCount) override;
    void finish() override;
    qint64 rowsAccepted() const override { return m_accepted; }
    // A statement whose answer was lost with the connection is taken as not committed: the
    // server flushes each statement's answers at its sync point, before it runs the next.
    bool connectionLost() const override { return m_lost; }
    qint64 firstUncommitted() const override;
    // Once lost: every statement sent went in on its own as soon as the server ran it, and the
    // answers of those it ran last were lost with the connection (a server ended in the middle
    // of a pipeline does not send what it still held). Those lines are in doubt.
    std::pair<qint64, qint64> unanswered() const override;

private:
    struct Pending {
        qint64 lineIndex = 0;
        qsizetype bytes = 0;   // statement size while unanswered
        bool local = false;    // rejected here; nothing was sent for it
        bool answered = false; // the statement's own result is in; the sync's is next
        QString error;
    };

    void rejectHere(qint64 lineIndex, const QString& description);
    void sendStatement(qint64 lineIndex, const std::function<QByteArray()>& build);
    void drain(std::size_t maxPending, qsizetype maxBytes);
    bool readAnswers();
    void settleLocalHead();
    void breakConnection(const QString& description);
    bool stopTaken();

    Connection& m_connection;
    QString m_table;
    QString m_path;
    Rejected m_rejected;
    FieldRule m_rule;
    InsertStatementUtf8 m_utf8Statement;
    std::deque<Pending> m_pending;
    qsizetype m_pendingBytes = 0;
    qint64 m_accepted = 0;
    bool m_pipeline = false;
    bool m_finished = false;
    bool m_stopped = false; // a stop was taken (stopTaken())
    bool m_lost = false;    // the connection broke (connectionLost())
    QString m_broken;       // libpq's text once the connection failed
};
