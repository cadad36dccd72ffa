#pragma once

#include "sending/RowSender.h"
#include "sending/copy/ChunkTransaction.h"
#include "sending/copy/CopyStream.h"
#include "sending/copy/CopyTarget.h"
#include "sending/copy/EncodedLines.h"
#include "sending/copy/PendingRejections.h"
#include "sending/copy/PieceSizer.h"
#include "sending/copy/RangeSplitter.h"
#include "sending/copy/ValuePrecheck.h"
#include "textfile/FieldRule.h"

#include <QByteArray>
#include <algorithm>
#include <functional>
#include <optional>

class Connection;

// Sends the records of one file by COPY into a table that CopyTarget found fit for it, with the
// outcome of one INSERT statement per line: records go into the target's columns (the table's
// first ones, or those its ColumnTargets name) by COPY FROM STDIN in text format, with the values
// the row statement would send (CopyText.h), and the targets' constant value, if any, as the
// last value of every line. A line sent alone, or again row by row, goes as the row statement
// into the same columns.
//
// Records are gathered into chunks; each chunk is one transaction (ChunkTransaction),
// committed in line order. Inside it records go out as pieces: a piece is one COPY statement of
// some of the chunk's lines, behind a savepoint, streamed while records arrive (CopyStream).
// While pieces are as long as they get (no line rejected lately), a chunk is one piece whose
// COPY is its own transaction: the end of its data commits it, sparing a COMMIT's round trip,
// and its failure takes back the whole chunk, which is then settled as a failed piece. A
// piece the server rejects is rolled back to its savepoint and settled line by line by
// RangeSplitter, which reports a rejected line with its row statement's own message.
// Rejections are reported in line order once their chunk is committed. Should the transaction
// itself fail (the commit, a savepoint), the chunk's lines are sent again one INSERT each, each
// its own transaction, and reported from those; should the connection break, the sender stops
// and lostConnection() says what it left behind. An answer that refuses the table (TableRefusal),
// to a piece or to a line sent alone, is not split further: the lines before it are committed,
// and it and every later line are not sent (refusal()).
//
// The answer to a finished piece and to COMMIT is awaited while the next records are read and
// encoded, so that the server and this side work at the same time. While lines are rejected,
// pieces get shorter (fewer lines to send again when one fails, PieceSizer); while none are,
// they grow back to the whole chunk. Memory holds the encoded lines of one chunk and half a
// chunk's bytes of lines waiting behind it, at most (Options), plus one line. A server far away
// (the first COPY took FarStartMs or more to start) gets chunks of twice the bytes and own
// chunks of eight times the lines: a chunk leaves the server idle for two round trips, and fewer
// chunks leave it idle less often. The lines waiting behind stay as many.
//
// A record of another number of values, or one that ValuePrecheck expects the server to refuse,
// is sent alone as its row statement between two pieces. The latter, which puts no row in
// wherever it goes, is set aside instead (EncodedLines::setAside()) where the lines accepted
// would not hang on their order should the server take it after all (CopyTarget::orderFree):
// the pieces pass over it and it goes alone after them, before the chunk's COMMIT, so that the
// chunk stays one COPY statement, each of which costs the server time of its own; a chunk
// within a chunk's length of such a line is not a COPY's own transaction. A record holding
// the NUL character is rejected in its place (nulCharacterRejection) and not sent. Use one
// thread at a time.
class CopySender : public RowSender {
public:
    struct Options {
        qsizetype chunkLines = 65536; // lines per transaction, at most
        // Lines of a chunk that is one COPY statement's own transaction, at most. Such a chunk
        // sets no savepoints (whose number in one transaction slows the server down), so it
        // may grow where the server is far away.
        qsizetype ownChunkLines = 65536;
        // Whether a server found far away (its first COPY slow to start) gets chunks of more
        // lines and bytes. Off where a chunk's length must stay as set.
        bool growWhenFar = true;
        qsizetype chunkBytes = 8 << 20; // COPY data per transaction, at most (one line more)
        // A transaction's age, at most, so that rows are committed and counted at least this
        // often (checked every AgeCheckLines lines of a piece).
        qint64 chunkMilliseconds = 1000;
        qsizetype maxPieceLines = 65536;        // the longest piece
        qsizetype minPieceLines = 8;            // the shortest piece while lines are rejected
        double pieceSwitchCost = 2048;          // one more piece, in lines' time
        FieldRule fieldRule = FieldRule::Plain; // how the fields become values (FieldRule.h)
        // Asked after each piece and by finish(); when it answers true the chunk in flight is
        // committed and every line waiting behind it, and every later line, is left unsent
        // (stopped()).
        std::function<bool()> stopRequested;
        // Where the markers of committed chunks that are not yet removed wait between senders
        // over one connection: taken by the first chunk, which removes them, and given back by
        // finish() instead of being removed by a statement of their own. Null: finish() removes
        // them.
        QList<quint32>* markersLeft = nullptr;
        std::function<void()> committed; // after each chunk commits; none when empty

        // The options within their bounds: a chunk of one line at least, pieces within it.
        Options bounded() && {
            chunkLines = std::max<qsizetype>(chunkLines, 1);
            ownChunkLines = std::max<qsizetype>(ownChunkLines, 1);
            maxPieceLines = std::clamp<qsizetype>(maxPieceLines, 1, chunkLines);
            minPieceLines = std::clamp<qsizetype>(minPieceLines, 1, maxPieceLines);
            chunkBytes = std::max<qsizetype>(chunkBytes, 2);
            return std::move(*this);
        }
    };

    // The separator (UTF-8) cuts the records that come as bytes.
    CopySender(Connection& connection, CopyTarget target, QString path, QByteArray separator,
               Rejected rejected, Options options);
    ~CopySender() override;

    void send(const Record& record) override;
    void finish() override;
    qint64 rowsAccepted() const override { return m_accepted; }
    std::optional<LostConnection> lostConnection() const override;
    bool byCopy() const override { return true; }
    std::optional<TableRefusal> refusal() const override { return m_refusal; }
    bool taking() const override { return m_end != End::Lost && !m_refusal; }

    // Lines sent alone because ValuePrecheck expected the server to refuse them.
    qint64 prechecked() const { return m_prechecked; }
    // Whether a stop was asked for and taken: lines sent after it are not imported.
    bool stopped() const { return m_end == End::Stopped || m_end == End::Abandoned; }

private:
    // How the sender ended, if it did.
    enum class End {
        Open,      // it takes records
        Finished,  // finish() sent everything
        Stopped,   // a stop was taken between statements: the chunk in flight is committed
        Abandoned, // a stop was taken inside a statement (the server stopped it): nothing of
                   // the open chunk is in, and the connection is not used again
        Lost,      // the connection broke: lostConnection() says what is left
        Refused,   // the server refused the table: refusal(); finish() commits what came before
    };
    // What the connection is busy with.
    enum class Phase {
        Idle,       // nothing; a transaction may be open
        Streaming,  // a piece is open; arriving lines join it
        Ending,     // the piece's data is complete and its answer awaited
        Committing, // COMMIT sent and its answer awaited
    };

    void queue(qint64 lineIndex, qsizetype offset, qsizetype valueCount);
    void queueSteady();
    void stopIfAsked(qint64 settledBefore);
    void advance(bool wait);
    void openPiece();
    void stream(bool all);
    void endStreaming();
    void settlePiece();
    bool ownTransaction() const;
    QByteArray piecePrefix(bool own);
    qsizetype pieceLimit(bool own) const;
    void sendCommit();
    void settleCommit();
    void chunkCommitted(qsizetype lastPiece);
    void sendWaitingAlone();
    bool sendAside();
    void settleEverything();
    void dropWaiting();
    qsizetype waitingLimit() const { return m_waitingLimit; }
    void measureDistance(qint64 startMilliseconds);
    bool chunkComplete(bool checkAge) const;
    bool afterSplitting();
    void salvage(qsizetype end);
    bool abandonOnStop();
    void refuse(qsizetype at, const QString& words);
    void forgetTransaction();
    void release(qsizetype end);
    QByteArray insertStatement(qsizetype line) const;

    Connection& m_connection;
    CopyTarget m_target;
    QString m_path;
    QByteArray m_separator;
    Rejected m_rejected;
    Options m_options;
    qsizetype m_waitingLimit; // bytes of lines waiting behind the chunk, at most
    ValuePrecheck m_precheck;

    // Every line not yet committed and reported. Lines before m_sentEnd belong to the open
    // transaction (the chunk); the others wait to be sent.
    EncodedLines m_lines;
    PendingRejections m_rejections;
    ChunkTransaction m_transaction;
    CopyStream m_stream;
    RangeSplitter m_splitter;
    PieceSizer m_pieces;             // the next piece's length
    int m_distanceSamples = 0;       // COPY starts timed (measureDistance())
    bool m_grownForDistance = false; // chunks made longer for a server far away
    qsizetype m_sentEnd = 0;
    qsizetype m_pieceBegin = 0;        // first line of the piece being streamed or ended
    qsizetype m_asideSent = 0;         // lines set aside before it are sent (sendAside())
    std::optional<qint64> m_lastAside; // the file index of the last line set aside
    Phase m_phase = Phase::Idle;
    End m_end = End::Open;
    bool m_broken = false;         // the transaction can't be trusted; salvage() redoes the chunk
    bool m_commitInFlight = false; // COMMIT sent, its answer not in
    qsizetype m_ownPieceLines = 0; // in a COPY that is its own transaction, ended (endStreaming())
    qint64 m_acceptedInChunk = 0;
    qint64 m_settledPieces = 0;
    qint64 m_accepted = 0;
    qint64 m_prechecked = 0;
    std::optional<TableRefusal> m_refusal;
};
