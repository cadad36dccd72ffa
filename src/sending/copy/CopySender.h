#pragma once

#include "sending/RowSender.h"
#include "sending/copy/ChunkTransaction.h"
#include "sending/copy/PendingRejections.h"
#include "sending/copy/PieceSizer.h"
#include "sending/copy/ValuePrecheck.h"
#include "textfile/FieldRule.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Connection;
struct pg_result;
using PGresult = pg_result;

// Sends the data lines of one file by COPY, with the outcome of one INSERT statement per line.
//
// The first line decides the path: when copyColumnList() allows COPY for its number of values
// n, lines go into the table's first n columns by COPY FROM STDIN in text format, with the
// values the row statement would send (CopyText.h); otherwise every line goes to an
// InsertSender, row by row.
//
// On the COPY path lines are gathered into chunks; each chunk is one transaction, committed in
// line order. Inside it, lines go out as COPY statements, each behind a savepoint and streamed
// while lines arrive. A COPY the server rejects is rolled back to its savepoint and split, parts
// tried in order, left first, down to single lines: at the line the server's error names when
// it names one (the lines before it are sent again, the lines after it go with the next COPY),
// otherwise in halves. A single line is sent as its own BuildInsertStatement, so that a
// rejected line is reported with the row statement's own message. Rejections are reported in line
// order once their chunk is committed. Should the transaction itself fail (the commit, a
// savepoint), the chunk's lines are sent again one INSERT each, each its own transaction, and
// reported from those; should the connection break, the sender stops (connectionLost()).
//
// The answer to a finished COPY statement and to COMMIT is awaited while the next lines are
// read and encoded, so that the server and this side work at the same time.
//
// While lines are being rejected, COPY statements get shorter (fewer lines to send again when
// one fails); while none are, they grow back to the whole chunk. Memory holds the encoded lines of
// one chunk and half a chunk's bytes of lines waiting behind it, at most (Options), plus one line.
//
// A line of another number of values, or one that ValuePrecheck expects the server to refuse, is
// sent alone as its row statement between two COPY statements.
//
// A line holding the NUL character is rejected in its place (nulCharacterRejection) and not
// sent. Never throws for a failure of the server or the connection. Use one thread at a time.
class CopySender : public RowSender {
public:
    struct Options {
        qsizetype chunkLines = 65536;   // lines per transaction, at most
        qsizetype chunkBytes = 8 << 20; // COPY data per transaction, at most (one line more)
        // A transaction's age, at most, so that rows are committed and counted at least this
        // often (checked every 256 lines).
        qint64 chunkMilliseconds = 1000;
        qsizetype maxPieceLines = 65536; // the longest COPY statement
        qsizetype minPieceLines = 8;     // the shortest COPY statement while lines are rejected
        double pieceSwitchCost = 2048;   // one more COPY statement, in lines' time
        FieldRule fieldRule = FieldRule::Plain; // how the fields become values (FieldRule.h)
        // Asked after each COPY statement and by finish(); when it answers true the chunk in
        // flight is committed and every line waiting behind it, and every later line, is left
        // unsent (stopped()).
        std::function<bool()> stopRequested;
    };

    CopySender(Connection& connection, QString table, QString path, Rejected rejected);
    CopySender(Connection& connection, QString table, QString path, Rejected rejected,
               Options options);
    ~CopySender() override;

    void send(qint64 lineIndex, const QStringList& fields) override;
    void sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                  qsizetype fieldCount) override;
    void finish() override;
    qint64 rowsAccepted() const override;
    bool connectionLost() const override {
        return m_rowByRow ? m_rowByRow->connectionLost() : m_lost;
    }
    qint64 firstUncommitted() const override;
    // A transaction ends with its connection unless its COMMIT went out: only then is its
    // outcome in doubt.
    std::optional<ChunkInDoubt> inDoubt() const override;
    QList<quint32> markersLeft() const override { return m_transaction.markersLeft(); }
    void settleInDoubt(bool committed) override;
    // The chunk whose COMMIT went out unanswered, until settleInDoubt() settled it.
    std::pair<qint64, qint64> unanswered() const override;

    // Whether the first line chose COPY (false before the first line).
    bool usesCopy() const { return m_mode == Mode::Copy; }
    // Lines sent alone because ValuePrecheck expected the server to refuse them.
    qint64 prechecked() const { return m_prechecked; }
    // Whether a stop was asked for and taken: lines sent after it are not imported.
    bool stopped() const { return m_stopped; }

private:
    enum class Mode { Undecided, Copy, RowByRow };
    // What the connection is busy with.
    enum class Phase {
        Idle,       // nothing; a transaction may be open
        Streaming,  // a COPY is open; arriving lines join it
        Ending,     // the COPY's data is complete and its answer awaited
        Committing, // COMMIT sent and its answer awaited
    };
    struct Line {
        qint64 index = 0;
        qsizetype offset = 0; // start of its encoded text in m_data
        bool alone = false;   // another number of values: sent by itself as INSERT
    };

    void decide(qsizetype valueCount);
    bool takes(qsizetype valueCount);
    void rejectNul(qint64 lineIndex);
    qsizetype lineStart();
    void queue(qint64 lineIndex, qsizetype offset, qsizetype valueCount);
    void advance(bool wait);
    bool answerReady();
    void openPiece();
    void stream(bool all);
    void endStreaming();
    void settlePiece();
    void sendCommit();
    void settleCommit();
    qsizetype waitingLimit() const { return m_options.chunkBytes / 2; }
    bool chunkComplete(bool checkAge) const;
    void sendWaitingAlone();
    void settleEverything();
    void dropWaiting();
    bool sendRange(qsizetype begin, qsizetype end, bool knownToFail);
    bool copyRange(qsizetype begin, qsizetype end);
    qsizetype sendUpToNamed(qsizetype begin, qsizetype end);
    bool sendAlone(qsizetype line);
    bool insertLine(qsizetype line);
    bool beginCopy();
    bool collectCopyEnd();
    qsizetype failedCopyLine(const PGresult* result) const;
    bool control(const char* statement);
    void salvage(qsizetype end);
    bool abandonOnStop();
    void forgetTransaction();
    void release(qsizetype end);
    QByteArray insertStatement(qsizetype line) const;
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineCount() const { return static_cast<qsizetype>(m_lines.size()); }

    Connection& m_connection;
    QString m_table;
    QString m_path;
    Rejected m_rejected;
    Options m_options;
    Mode m_mode = Mode::Undecided;
    std::unique_ptr<RowSender> m_rowByRow;
    QByteArray m_copyStatement;
    qsizetype m_valueCount = 0;
    ValuePrecheck m_precheck;

    // Every line not yet committed and reported, encoded one after another. Lines before
    // m_sentEnd belong to the open transaction (the chunk); the others wait to be sent.
    std::vector<Line> m_lines;
    QByteArray m_data;
    PendingRejections m_rejections;
    qsizetype m_sentEnd = 0;
    qsizetype m_pieceBegin = 0; // first line of the COPY being streamed or ended
    qsizetype m_streamed = 0;   // bytes of m_data handed to libpq
    Phase m_phase = Phase::Idle;
    bool m_pieceFailed = false; // the COPY's data could not all be handed over
    qsizetype m_failedLine = 0; // the line of the last failed COPY its error named, from 1
    qint64 m_acceptedInChunk = 0;
    ChunkTransaction m_transaction;
    bool m_broken = false; // the transaction can't be trusted; salvage() redoes the chunk

    std::optional<PieceSizer> m_pieces; // the next COPY statement's length

    qint64 m_settledPieces = 0;
    qint64 m_accepted = 0;
    qint64 m_prechecked = 0;
    bool m_stopped = false;
    bool m_abandoned = false; // the stop was taken inside a statement (abandonOnStop())
    bool m_finished = false;
    bool m_lost = false; // the connection broke (connectionLost()); the lines stay unsettled
    bool m_commitInFlight = false; // COMMIT sent, its answer not in
};
