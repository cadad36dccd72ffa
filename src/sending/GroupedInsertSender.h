#pragma once

#include "database/Pipeline.h"
#include "sending/RowSender.h"
#include "sending/RowStatements.h"
#include "sending/copy/ChunkTransaction.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>
#include <vector>

class Connection;

// Sends every record as its own row statement (RowStatements), as InsertSender does, but a
// group of lines in one transaction, so that the server writes its log to disk once a group
// rather than once a line. Each line runs behind a savepoint of its own: a line the server
// rejects takes back only itself, with the message it gets alone, and the lines around it still
// go in, in file order and each once.
//
// A group costs one round trip: its BEGIN, the query that makes its ChunkMarker, its lines and
// its COMMIT go out as one pipeline segment, which the server stops at the first failure; the
// rest of the group follows behind ROLLBACK TO SAVEPOINT. Where the group's transaction fails
// as a whole, its lines are sent again each as its own transaction, as InsertSender sends them.
// A group whose COMMIT's answer was lost with the connection is in doubt as a COPY chunk is
// (LostConnection::chunkInDoubt), and settled by its marker.
class GroupedInsertSender : public RowSender {
public:
    struct Options {
        // The server keeps the ids of 64 subtransactions of a transaction in memory; beyond
        // them every other session's snapshots slow down.
        qsizetype groupLines = 64;
        qsizetype groupBytes = 1 << 20; // statements of a group, at most (one line more)
        // Asked before a group goes out and by finish(): when it answers true, the lines
        // gathered for the next group are left unsent, and so is every later one.
        std::function<bool()> stopRequested;
        // As CopySender::Options::markersLeft.
        QList<quint32>* markersLeft = nullptr;
    };

    // Whether lines sent in groups leave the table (its partitions included) as one
    // autocommitted INSERT each leaves it: no constraint or trigger deferred to the commit, no
    // foreign table. False also when the server can't say.
    static bool suits(Connection& connection, const QString& table);

    GroupedInsertSender(Connection& connection, RowStatements statements, Rejected rejected,
                        Options options);
    ~GroupedInsertSender() override;

    void send(const Record& record) override;
    void finish() override;
    qint64 rowsAccepted() const override { return m_accepted; }
    std::optional<LostConnection> lostConnection() const override;
    std::optional<TableRefusal> refusal() const override { return m_refusal; }

private:
    struct Line {
        qint64 index = 0;
        QByteArray statement; // empty: rejected here (held in m_held)
    };
    // What one statement of a segment is.
    enum class Step { Begin, Opening, Setting, RollBackTo, Savepoint, Insert, Commit };
    struct Segment {
        std::vector<Step> steps;
        std::vector<qsizetype> lines; // the line of m_group of each Insert step, in order
        std::vector<Pipeline::Answer> answers;
        bool complete = false; // its sync point was answered
    };

    void sendGroup();
    Segment runSegment();
    bool queueSegment(Pipeline& pipeline, Segment& segment);
    void readSegment(Pipeline& pipeline, Segment& segment);
    bool settleSegment(const Segment& segment);
    bool settleFailure(const Segment& segment, std::size_t failed, std::size_t inserts);
    void rejectLine(qsizetype line, const Pipeline::Answer& answer);
    void reportHeld(qint64 before);
    void groupCommitted();
    void sendEachOnItsOwn();
    void abandon();
    void dropGroup();

    Connection& m_connection;
    RowStatements m_statements;
    Rejected m_rejected;
    Options m_options;
    ChunkTransaction m_transaction;
    std::vector<Line> m_group; // the lines gathered, or being sent, in file order
    qsizetype m_groupBytes = 0;
    qsizetype m_next = 0; // the first line of m_group not yet run in the open transaction
    std::vector<LineRejection> m_held; // of the group's lines, reported at its commit
    qint64 m_acceptedInGroup = 0;      // lines run in the open transaction
    qint64 m_accepted = 0;             // committed
    std::vector<qint64> m_afterLoss;   // lines handed over once the connection broke
    qint64 m_unanswered = -1;          // a line sent on its own whose answer was lost
    bool m_rollBackFirst = false;      // the open transaction failed at a line
    bool m_commitInFlight = false;     // a COMMIT went out, its answer not in
    bool m_checkIntervalDue = false;   // the session setting is still to be sent
    bool m_lost = false;
    bool m_stopped = false;
    bool m_finished = false;
    std::optional<TableRefusal> m_refusal;
};
