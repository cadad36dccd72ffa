#include "sending/copy/CopySender.h"

#include "database/Connection.h"
#include "sending/Statements.h"
#include "textfile/RecordReader.h"

#include <QElapsedTimer>
#include <algorithm>

namespace {

// Room kept for the COPY text of one more line beyond a chunk and the lines waiting behind it.
constexpr qsizetype LineRoomBytes = 64 << 10;
// How often (in lines) the age of the open transaction is looked at while a piece streams,
// and how often the answers already in are taken while lines wait for the next piece: often
// enough for the work to move on, seldom enough to cost nothing against the lines.
constexpr qsizetype AgeCheckLines = 256;
constexpr qsizetype AnswerCheckLines = 64;

} // namespace

CopySender::CopySender(Connection& connection, CopyTarget target, QString path,
                       QByteArray separator, Rejected rejected, Options options)
    : m_connection(connection)
    , m_target(std::move(target))
    , m_path(std::move(path))
    , m_separator(std::move(separator))
    , m_rejected(std::move(rejected))
    , m_options(std::move(options).bounded())
    , m_waitingLimit(m_options.chunkBytes / 2)
    , m_precheck(m_target.columnTypes)
    , m_lines(m_target.targets)
    , m_transaction(connection)
    , m_stream(connection, m_target.copyStatement(), m_target.relationName.toUtf8())
    , m_splitter(connection, m_transaction, m_stream, m_lines, m_rejections,
                 [this](qsizetype line) { return insertStatement(line); })
    , m_pieces(m_options.chunkLines, m_options.minPieceLines, m_options.maxPieceLines,
               m_options.pieceSwitchCost) {
    if (m_options.markersLeft)
        m_transaction.adoptMarkers(std::exchange(*m_options.markersLeft, {}));
}

CopySender::~CopySender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

void CopySender::send(const Record& record) {
    if (m_end != End::Open)
        return;
    const std::optional<EncodedLines::Encoded> encoded =
        m_lines.encode(record, m_separator, m_options.fieldRule,
                       waitingLimit() + m_options.chunkBytes + LineRoomBytes);
    if (!encoded)
        return m_rejections.add(record.line, nulCharacterRejection(record.line, m_path), true);
    queue(record.line, encoded->offset, encoded->valueCount);
}

// Takes the line just encoded at offset into the work: sent alone, streamed or held back.
void CopySender::queue(qint64 lineIndex, qsizetype offset, qsizetype valueCount) {
    // A line of another number of values, or one the server is sure to refuse, goes alone, so
    // that it does not fail a COPY statement.
    const bool refused = valueCount == m_target.valueCount &&
                         m_precheck.rejects(m_lines.bytesFrom(offset).chopped(1));
    m_prechecked += refused ? 1 : 0;
    const bool alone = refused || valueCount != m_target.valueCount;
    // A line the server will refuse puts no row in wherever it goes: where the order of lines
    // changes nothing even should the server take it after all, it goes after the lines of its
    // chunk, so that the chunk stays one COPY statement (each costs the server time).
    const bool aside = refused && m_target.orderFree;
    if (aside) {
        m_lines.setAside(lineIndex, offset);
        m_lastAside = lineIndex;
    } else {
        m_lines.add(lineIndex, offset, alone);
    }

    const qint64 settledBefore = m_settledPieces;
    if (aside && m_phase == Phase::Streaming && m_transaction.selfCommitting()) {
        endStreaming(); // the end of that COPY commits it: nothing can go after it
        advance(false);
    } else if (alone && !aside) {
        // It waits its turn behind the piece in flight, which ends here; the lines after it are
        // read meanwhile.
        if (m_phase == Phase::Streaming)
            endStreaming();
        advance(false);
    } else {
        queueSteady();
    }
    stopIfAsked(settledBefore);
}

// A line that joins a piece: streamed with the open one, or held back until one opens.
void CopySender::queueSteady() {
    if (m_phase == Phase::Streaming) {
        m_sentEnd = m_lines.count();
        stream(false);
        const bool checkAge = (m_sentEnd - m_pieceBegin) % AgeCheckLines == 0;
        if (m_sentEnd - m_pieceBegin >= pieceLimit(m_transaction.selfCommitting()) ||
            chunkComplete(checkAge))
            endStreaming();
    } else if (m_lines.bytes() + m_lines.asideBytes() - m_lines.offset(m_sentEnd) >=
               waitingLimit()) {
        advance(true); // too much waits: hold the reading back until it is sent
    } else if (m_phase == Phase::Idle || m_lines.count() % AnswerCheckLines == 0) {
        advance(false);
    }
}

// After a piece was settled: a stop asked for meanwhile is taken now, between statements.
void CopySender::stopIfAsked(qint64 settledBefore) {
    if (m_settledPieces == settledBefore || !m_options.stopRequested ||
        !m_options.stopRequested() || m_end != End::Open)
        return;
    dropWaiting();
    settleEverything();
    if (m_end == End::Open)
        m_end = End::Stopped;
}

void CopySender::finish() {
    if (m_end == End::Finished || m_end == End::Lost)
        return;
    if (m_end == End::Refused)
        m_end = End::Finished;
    if (m_end == End::Open) {
        m_end = End::Finished;
        if (m_options.stopRequested && m_options.stopRequested()) {
            dropWaiting();
            m_end = End::Stopped;
        }
    }
    settleEverything();
    if (m_end == End::Lost) // lostConnection() hands them over
        return;
    if (m_options.markersLeft)
        *m_options.markersLeft += m_transaction.takeMarkers();
    else if (m_end != End::Abandoned)
        m_transaction.removeMarkers();
}

// Moves the work on without blocking (wait false: only answers already in are taken) or until
// it is done (wait true). Returns while a piece is streaming, or when nothing is in flight and
// nothing waits. A line to be sent alone goes in its turn, as its row statement (which blocks).
void CopySender::advance(bool wait) {
    while (m_end != End::Lost) {
        switch (m_phase) {
        case Phase::Streaming:
            return;
        case Phase::Ending:
            if (!wait && !m_stream.answerReady())
                return;
            settlePiece();
            break;
        case Phase::Committing:
            if (!wait && !m_stream.answerReady())
                return;
            settleCommit();
            break;
        case Phase::Idle:
            if (chunkComplete(true)) {
                if (sendAside())
                    sendCommit();
                break;
            }
            if (m_sentEnd >= m_lines.count())
                return;
            if (m_lines[m_sentEnd].alone)
                sendWaitingAlone();
            else
                openPiece();
            break;
        }
    }
}

// Opens a piece for the lines waiting to be sent: all of them join it, and the lines that
// arrive next too, up to the length of a piece. Waits until the server takes data.
void CopySender::openPiece() {
    m_pieceBegin = m_sentEnd;
    const bool own = ownTransaction();
    const qsizetype limit = pieceLimit(own);
    // The piece ends before the first line to be sent alone.
    const qsizetype last = std::min(m_lines.count(), m_pieceBegin + limit);
    while (m_sentEnd < last && !m_lines[m_sentEnd].alone && !(own && m_lines[m_sentEnd].aside))
        ++m_sentEnd;
    const qsizetype from = m_lines.offset(m_pieceBegin);
    QElapsedTimer starting;
    starting.start();
    bool begun = m_stream.begin(piecePrefix(own), from, m_transaction.answers());
    if (!begun && m_transaction.reopenAfterFailedBegin())
        begun = m_stream.begin(piecePrefix(own), from, m_transaction.answers());
    if (!begun) {
        // Nothing of it went out: split it at once.
        m_phase = Phase::Ending;
        settlePiece();
        return;
    }
    m_phase = Phase::Streaming;
    measureDistance(starting.elapsed());
    if (m_sentEnd - m_pieceBegin >= limit || m_sentEnd < m_lines.count() || chunkComplete(true))
        endStreaming();
    else
        stream(false);
}

void CopySender::stream(bool all) {
    m_stream.feed(m_lines.bytesFrom(0), m_lines.offset(m_sentEnd), all);
}

void CopySender::endStreaming() {
    stream(true);
    // The end of a COPY that is its own transaction is its COMMIT.
    m_commitInFlight = m_transaction.selfCommitting();
    m_ownPieceLines = m_commitInFlight ? m_sentEnd - m_pieceBegin : 0;
    m_stream.end();
    m_phase = Phase::Ending;
}

// Reads the answer to the piece that ended and settles its lines: all in, or split until every
// line is either in or rejected.
void CopySender::settlePiece() {
    const bool accepted = m_stream.collect();
    m_phase = Phase::Idle;
    ++m_settledPieces;
    const qsizetype begin = m_pieceBegin;
    const qsizetype end = m_sentEnd;
    m_pieceBegin = end;
    if (!accepted && m_connection.isBroken()) {
        if (!abandonOnStop())
            m_end = End::Lost; // the lines are sent again over a new connection
        return;
    }
    m_commitInFlight = false;
    if (accepted && m_transaction.selfCommitting())
        return chunkCommitted(end - begin);
    if (!accepted && !m_broken && m_stream.refusal() && !abandonOnStop()) {
        m_transaction.attemptFailed();
        return refuse(begin, *m_stream.refusal());
    }
    if (accepted) {
        m_transaction.workDone();
        m_acceptedInChunk += m_lines.carried(begin, end);
        m_pieces.settled(end - begin, 0);
        return;
    }
    if (!m_broken && !abandonOnStop()) {
        const qsizetype rejectedBefore = m_rejections.fromServer();
        // The lines after the one named go with the next piece.
        m_sentEnd = m_pieceBegin = m_splitter.settleFailedCopy(begin, end);
        if (!afterSplitting())
            return;
        m_pieces.settled(m_sentEnd - begin, m_rejections.fromServer() - rejectedBefore);
    }
    if (m_broken)
        salvage(m_sentEnd);
}

// Takes in what the splitter did; false when a stop left nothing more to do.
bool CopySender::afterSplitting() {
    m_acceptedInChunk += m_splitter.takeAccepted();
    const RangeSplitter::Halt halt = m_splitter.halt();
    if (halt == RangeSplitter::Halt::Stopped) {
        abandonOnStop();
        return false;
    }
    if (halt == RangeSplitter::Halt::Refused) {
        refuse(m_splitter.refusedAt(), m_splitter.refusal());
        return false;
    }
    m_end = halt == RangeSplitter::Halt::Lost ? End::Lost : m_end;
    m_broken = m_broken || halt == RangeSplitter::Halt::Broken;
    return true;
}

void CopySender::sendCommit() {
    if (m_transaction.sendCommit()) {
        m_phase = Phase::Committing;
        m_commitInFlight = true;
    } else {
        salvage(m_sentEnd);
    }
}

// Reads the answer to COMMIT: the chunk's lines are reported, or sent again row by row.
void CopySender::settleCommit() {
    const bool committed = m_transaction.readCommit();
    m_phase = Phase::Idle;
    // A COMMIT unanswered when the connection broke may have gone through: that stays known.
    m_commitInFlight = !committed && m_connection.isBroken();
    if (!committed) {
        if (!abandonOnStop())
            salvage(m_sentEnd);
        return;
    }
    chunkCommitted(0);
}

// The open transaction committed, with the lines its pieces put in and the last piece's.
void CopySender::chunkCommitted(qsizetype lastPiece) {
    m_transaction.committed();
    if (lastPiece > 0)
        m_pieces.settled(lastPiece, 0);
    m_accepted += m_acceptedInChunk + lastPiece;
    m_acceptedInChunk = 0;
    release(m_sentEnd);
    if (m_options.committed)
        m_options.committed();
}

// Sends the first waiting line, one to be sent alone, as its own row statement; every line
// before it is settled.
void CopySender::sendWaitingAlone() {
    const qsizetype line = m_sentEnd;
    if (!m_broken) {
        m_splitter.sendAlone(line);
        if (!afterSplitting())
            return;
    }
    m_sentEnd = m_pieceBegin = line + 1;
    if (m_broken)
        salvage(m_sentEnd);
}

// Sends everything, commits and reports. A rejected piece may be split and streamed again,
// hence the loop.
void CopySender::settleEverything() {
    do {
        if (m_phase == Phase::Streaming)
            endStreaming();
        advance(true);
    } while (m_phase == Phase::Streaming);
    if (m_transaction.open() && m_end != End::Lost) {
        if (sendAside())
            sendCommit();
        advance(true);
    }
    if (m_end != End::Lost)
        release(m_sentEnd); // rejections of lines never sent (NUL) after the last chunk
}

// Nothing of lines [0, end) is committed: roll the transaction back and send every one of
// them again, one INSERT each, each its own transaction, as the row-by-row path would.
void CopySender::salvage(qsizetype end) {
    if (abandonOnStop())
        return;
    if (m_connection.isBroken()) {
        m_end = End::Lost;
        return;
    }
    if (m_phase == Phase::Streaming)
        m_stream.end("the chunk is sent again row by row");
    while (m_connection.nextResult().get()) {
    }
    if (m_transaction.open() && m_connection.inTransaction())
        m_connection.run("ROLLBACK");
    forgetTransaction();
    m_rejections.dropServerBefore(m_lines.boundary(end));
    end = m_splitter.insertEachOnItsOwn(end);
    m_accepted += m_splitter.takeAccepted();
    if (m_splitter.halt() == RangeSplitter::Halt::Stopped) {
        abandonOnStop();
        return;
    }
    if (m_splitter.halt() == RangeSplitter::Halt::Lost)
        m_end = End::Lost;
    const bool refused = m_splitter.halt() == RangeSplitter::Halt::Refused;
    m_sentEnd = end;
    release(end);
    if (refused)
        refuse(0, m_splitter.refusal());
}

// Lines [0, end) are settled: reports their rejections in line order and forgets them.
void CopySender::release(qsizetype end) {
    const std::vector<PendingRejections::Entry> report =
        m_rejections.takeBefore(m_lines.boundary(end));
    if (end > 0) {
        const qsizetype bytes = m_lines.release(end);
        m_sentEnd -= end;
        m_asideSent = std::max<qsizetype>(0, m_asideSent - end);
        m_pieceBegin = std::max<qsizetype>(0, m_pieceBegin - end);
        m_stream.shift(bytes);
    }
    for (const PendingRejections::Entry& rejection : report)
        m_rejected({rejection.index, rejection.description, rejection.sqlState});
}
