#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class ChunkTransaction;
class Connection;
class CopyStream;
class EncodedLines;
class PendingRejections;

// Settles lines of a chunk one COPY could not take: tried again in parts, left first, down to
// single lines, each behind the chunk's savepoint. A failed COPY is split at the line the
// server's error names when it names one (the lines before it are sent again, that line alone),
// otherwise in halves. A single line goes as its own row statement (built by the sender), so
// that a rejected line is reported with that statement's own message; rejections are kept in
// the sender's PendingRejections. Lines set aside (EncodedLines::setAside()) are passed over:
// the sender sends them alone. Works on the sender's lines, transaction and stream; used from
// the sender's thread.
class RangeSplitter {
public:
    // Why the splitting stopped short, if it did.
    enum class Halt {
        None,
        Broken,  // a savepoint statement failed: the transaction can't be trusted
        Lost,    // the connection broke
        Stopped, // a stop was taken inside a statement: the server stopped it
        Refused, // the server refused the table (TableRefusal) at refusedAt()
    };

    using Statement = std::function<QByteArray(qsizetype line)>;

    RangeSplitter(Connection& connection, ChunkTransaction& transaction, CopyStream& stream,
                  const EncodedLines& lines, PendingRejections& rejections,
                  Statement insertStatement);

    // After the COPY of lines [begin, end) failed in this state (its answer collected): settles
    // them. Returns where the next COPY goes on: end, or the line after the one the error
    // named, when it named one (the lines after it have not been tried).
    qsizetype settleFailedCopy(qsizetype begin, qsizetype end);
    // A line to be sent alone, behind the savepoint; true when it went in.
    bool sendAlone(qsizetype line) {
        reset();
        return sendLineAlone(line);
    }
    // Lines [0, end), each as its own row statement outside any transaction (committed at
    // once), as the row-by-row path sends them. Returns end, or the line at which the
    // connection broke or a stop was taken (the lines before it are settled).
    qsizetype insertEachOnItsOwn(qsizetype end);

    // A stop outweighs a lost connection, which outweighs a broken transaction: what follows
    // from the heavier holds either way.
    Halt halt() const {
        return m_stopped   ? Halt::Stopped
               : m_lost    ? Halt::Lost
               : m_refusal ? Halt::Refused
               : m_broken  ? Halt::Broken
                           : Halt::None;
    }
    // With Halt::Refused: the line refused, and the server's words.
    qsizetype refusedAt() const { return m_refusedAt; }
    const QString& refusal() const { return *m_refusal; }
    // Lines that went in since the last call, in the open transaction.
    qint64 takeAccepted() {
        const qint64 accepted = m_accepted;
        m_accepted = 0;
        return accepted;
    }

private:
    bool sendRange(qsizetype begin, qsizetype end, bool knownToFail);
    qsizetype sendUpToNamed(qsizetype begin, qsizetype end, qsizetype failedLine);
    bool copyRange(qsizetype begin, qsizetype end);
    bool sendLineAlone(qsizetype line);
    bool insertLine(qsizetype line);
    bool failed(); // after a failure: true, and halted, when a stop was taken
    void reset() {
        m_broken = m_lost = m_stopped = false;
        m_refusal.reset();
    }

    Connection& m_connection;
    ChunkTransaction& m_transaction;
    CopyStream& m_stream;
    const EncodedLines& m_lines;
    PendingRejections& m_rejections;
    Statement m_insertStatement;
    bool m_broken = false;
    bool m_lost = false;
    bool m_stopped = false;
    std::optional<QString> m_refusal; // the server's words, once it refused the table
    qsizetype m_refusedAt = 0;
    qint64 m_accepted = 0;
};
