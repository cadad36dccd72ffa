#pragma once

#include "import/RowSender.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <vector>

class Connection;

// Sends the data lines of one file by COPY, with the outcome of one INSERT statement per line.
//
// The first line decides the path: when copyColumnList() allows COPY for its number of values
// n, lines go into the table's first n columns by COPY FROM STDIN in text format, with the
// values the row statement would send (CopyText.h); otherwise every line goes to an
// InsertSender, row by row.
//
// On the COPY path lines are gathered into chunks; each chunk is one transaction, committed in
// line order. Inside it, lines go out as COPY statements, each behind a savepoint and streamed
// while lines arrive. A COPY the server rejects is rolled back to its savepoint and split: the
// halves are tried in order, left first, down to single lines, and a single line is sent as its
// own BuildInsertStatement, so that a rejected line is reported with the row statement's own
// message. Rejections are reported in line order once their chunk is committed. Should the
// transaction itself fail (the commit, a savepoint, the connection), the chunk's lines are sent
// again one INSERT each, each its own transaction, and reported from those.
//
// While lines are being rejected, COPY statements get shorter (fewer lines to send again when
// one fails); while none are, they grow back to the whole chunk. Memory holds one chunk of
// encoded lines at most (Options), plus the one line that is longer than that.
//
// A line holding the NUL character is rejected in its place (NulCharacterRejection) and not
// sent. Never throws for a failure of the server or the connection. Use one thread at a time.
class CopySender : public RowSender {
public:
    struct Options {
        qsizetype chunkLines = 65536;    // lines per transaction, at most
        qsizetype chunkBytes = 16 << 20; // COPY data per transaction, at most (one line more)
        // A transaction's age, at most, so that rows are committed and counted at least this
        // often (checked every 256 lines).
        qint64 chunkMilliseconds = 1000;
        qsizetype minPieceLines = 8;  // the shortest COPY statement while lines are rejected
        double pieceSwitchCost = 256; // ending one COPY and opening the next, in lines' time
        // Asked after each COPY statement; when it answers true the chunk is committed and
        // every later line is left unsent (stopped()).
        std::function<bool()> stopRequested;
    };

    CopySender(Connection& connection, QString table, QString path, Rejected rejected);
    CopySender(Connection& connection, QString table, QString path, Rejected rejected,
               Options options);
    ~CopySender() override;

    void send(qint64 lineIndex, const QStringList& fields) override;
    void finish() override;
    qint64 rowsAccepted() const override;

    // Whether the first line chose COPY (false before the first line).
    bool usesCopy() const { return m_mode == Mode::Copy; }
    // Whether a stop was asked for and taken: lines sent after it are not imported.
    bool stopped() const { return m_stopped; }

private:
    enum class Mode { Undecided, Copy, RowByRow };
    struct Line {
        qint64 index = 0;
        qsizetype offset = 0; // start of its encoded text in m_data
        bool alone = false;   // another number of values: sent by itself as INSERT
    };
    struct Rejection {
        qint64 index = 0;
        QString description;
        bool local = false; // rejected here, never sent
    };

    void decide(qsizetype valueCount);
    void openPiece();
    void stream(bool all);
    void endPiece();
    void endChunk();
    bool sendRange(qsizetype begin, qsizetype end, bool knownToFail);
    bool copyRange(qsizetype begin, qsizetype end);
    bool sendAlone(qsizetype line);
    bool beginCopy();
    bool endCopy();
    bool control(const char* statement);
    QByteArray transactionPrefix();
    void rollBackAttempt();
    void salvage();
    void reportChunk();
    void adjustPieceLimit(qsizetype lines, qsizetype rejected);
    QByteArray insertStatement(qsizetype line) const;
    qsizetype lineEnd(qsizetype line) const;
    qsizetype serverRejections() const;

    Connection& m_connection;
    QString m_table;
    QString m_path;
    Rejected m_rejected;
    Options m_options;
    Mode m_mode = Mode::Undecided;
    std::unique_ptr<RowSender> m_rowByRow;
    QByteArray m_copyStatement;
    qsizetype m_valueCount = 0;

    // The chunk: every line of the open transaction, encoded one after another.
    std::vector<Line> m_lines;
    QByteArray m_data;
    std::vector<Rejection> m_rejections;
    qint64 m_acceptedInChunk = 0;
    QElapsedTimer m_chunkAge;
    bool m_inTransaction = false;
    bool m_dirty = false;  // work done since the savepoint was set
    bool m_broken = false; // the transaction can't be trusted; salvage() redoes the chunk

    // The COPY statement being streamed: lines from m_pieceBegin to the end of the chunk.
    qsizetype m_pieceBegin = 0;
    qsizetype m_streamed = 0; // bytes of m_data handed to libpq
    bool m_copyOpen = false;
    bool m_pieceFailed = false; // the COPY could not be opened; its lines are split at its end
    qsizetype m_pieceLimit = 0;
    double m_recentLines = 0;
    double m_recentRejected = 0;

    qint64 m_accepted = 0;
    bool m_stopped = false;
    bool m_finished = false;
};
