#include "sending/copy/CopySender.h"
#include "textfile/FieldSplitting.h"

#include "database/Connection.h"
#include "sending/InsertSender.h"
#include "sending/Statements.h"
#include "sending/copy/CopyTarget.h"
#include "sending/copy/CopyText.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace {

// COPY data is handed to libpq in pieces of about this size while lines arrive, so that the
// server works on them while the next lines are read.
constexpr qsizetype StreamBytes = 64 << 10;

} // namespace

CopySender::CopySender(Connection& connection, QString table, QString path, Rejected rejected)
    : CopySender(connection, std::move(table), std::move(path), std::move(rejected), Options()) {}

CopySender::CopySender(Connection& connection, QString table, QString path, Rejected rejected,
                       Options options)
    : m_connection(connection)
    , m_table(std::move(table))
    , m_path(std::move(path))
    , m_rejected(std::move(rejected))
    , m_options(std::move(options))
    , m_transaction(connection) {
    m_options.chunkLines = std::max<qsizetype>(m_options.chunkLines, 1);
    m_options.maxPieceLines =
        std::clamp<qsizetype>(m_options.maxPieceLines, 1, m_options.chunkLines);
    m_options.minPieceLines =
        std::clamp<qsizetype>(m_options.minPieceLines, 1, m_options.maxPieceLines);
    m_options.chunkBytes = std::max<qsizetype>(m_options.chunkBytes, 2);
    m_pieces.emplace(m_options.chunkLines, m_options.minPieceLines, m_options.maxPieceLines,
                     m_options.pieceSwitchCost);
}

CopySender::~CopySender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

qint64 CopySender::rowsAccepted() const {
    return m_rowByRow ? m_rowByRow->rowsAccepted() : m_accepted;
}

void CopySender::decide(qsizetype valueCount) {
    std::vector<ValuePrecheck::Column> types;
    const std::optional<QString> columns =
        copyColumnList(m_connection, m_table, valueCount, &types);
    if (columns) {
        m_mode = Mode::Copy;
        m_precheck = ValuePrecheck(std::move(types));
        m_valueCount = valueCount;
        m_copyStatement = (QStringLiteral("COPY ") + quoteIdentifier(m_table) + QLatin1Char(' ') +
                           *columns + QStringLiteral(" FROM STDIN"))
                              .toUtf8();
    } else {
        m_mode = Mode::RowByRow;
        m_rowByRow = std::make_unique<InsertSender>(m_connection, m_table, m_path, m_rejected,
                                                    m_options.fieldRule);
    }
}

// Whether the line is to be taken at all; the first line decides the path.
bool CopySender::takes(qsizetype valueCount) {
    if (m_finished || m_stopped || m_lost)
        return false;
    if (m_mode == Mode::Undecided)
        decide(valueCount);
    return true;
}

void CopySender::send(qint64 lineIndex, const QStringList& fields) {
    if (!takes(fields.size()))
        return;
    if (m_mode == Mode::RowByRow)
        return m_rowByRow->send(lineIndex, fields);
    if (holdsNulCharacter(fields))
        return rejectNul(lineIndex);
    const qsizetype offset = lineStart();
    appendCopyLine(m_data, fields, m_options.fieldRule);
    queue(lineIndex, offset, fields.size());
}

void CopySender::sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                          qsizetype fieldCount) {
    if (!takes(fieldCount))
        return;
    if (m_mode == Mode::RowByRow)
        return m_rowByRow->sendUtf8(lineIndex, line, separator, fieldCount);
    if (line.contains('\0'))
        return rejectNul(lineIndex);
    const qsizetype offset = lineStart();
    if (!appendCopyLineBytes(m_data, line, separator, m_options.fieldRule))
        return send(lineIndex, valuesFromBytes(line, separator, m_options.fieldRule));
    queue(lineIndex, offset, fieldCount);
}

void CopySender::rejectNul(qint64 lineIndex) {
    m_rejections.add(lineIndex, nulCharacterRejection(lineIndex, m_path), true);
}

qsizetype CopySender::lineStart() {
    if (m_data.capacity() < waitingLimit() + m_options.chunkBytes + StreamBytes)
        m_data.reserve(waitingLimit() + m_options.chunkBytes + StreamBytes); // touched as used
    return m_data.size();
}

// Takes the line just encoded at offset into the work: sent alone, streamed or held back.
void CopySender::queue(qint64 lineIndex, qsizetype offset, qsizetype valueCount) {
    // A line of another number of values, or one the server is sure to refuse, goes alone, so
    // that it does not fail a COPY statement.
    const bool refused = valueCount == m_valueCount &&
                         m_precheck.rejects(QByteArrayView(m_data).sliced(offset).chopped(1));
    m_prechecked += refused ? 1 : 0;
    const bool alone = refused || valueCount != m_valueCount;
    m_lines.push_back({lineIndex, offset, alone});

    const qint64 settledBefore = m_settledPieces;
    if (alone) {
        // It waits its turn behind the COPY in flight, which ends here; the lines after it are
        // read meanwhile.
        if (m_phase == Phase::Streaming)
            endStreaming();
        advance(false);
    } else if (m_phase == Phase::Streaming) {
        m_sentEnd = lineCount();
        stream(false);
        const bool checkAge = (m_sentEnd - m_pieceBegin) % 256 == 0;
        if (m_sentEnd - m_pieceBegin >= m_pieces->limit() || chunkComplete(checkAge))
            endStreaming();
    } else if (m_data.size() - m_lines[m_sentEnd].offset >= waitingLimit()) {
        advance(true); // too much waits: hold the reading back until it is sent
    } else if (m_phase == Phase::Idle || lineCount() % 64 == 0) {
        advance(false);
    }
    if (m_settledPieces != settledBefore && m_options.stopRequested && m_options.stopRequested()) {
        dropWaiting();
        settleEverything();
        m_stopped = true;
    }
}

void CopySender::finish() {
    if (m_finished || m_lost)
        return;
    m_finished = true;
    if (m_rowByRow) {
        m_rowByRow->finish();
        return;
    }
    if (!m_stopped && m_options.stopRequested && m_options.stopRequested()) {
        dropWaiting();
        m_stopped = true;
    }
    settleEverything();
    if (!m_lost && !m_abandoned)
        m_transaction.removeMarkers();
}

// A stop: the lines waiting behind the chunk in flight are forgotten unsent, so that the stop
// costs at most that chunk. The chunk's own lines stay, also those a failed COPY hands on.
void CopySender::dropWaiting() {
    const qsizetype keep = m_sentEnd;
    if (keep >= lineCount())
        return;
    m_rejections.dropLocalFrom(m_lines[keep].index);
    m_data.truncate(m_lines[keep].offset);
    m_lines.resize(keep);
}

qsizetype CopySender::lineEnd(qsizetype line) const {
    return line + 1 < lineCount() ? m_lines[line + 1].offset : m_data.size();
}

QByteArray CopySender::insertStatement(qsizetype line) const {
    const qsizetype begin = m_lines[line].offset;
    const qsizetype end = lineEnd(line) - 1; // without the line feed
    const QStringList fields = copyLineFields(QByteArrayView(m_data).sliced(begin, end - begin));
    return BuildInsertStatement(m_table, fields, m_options.fieldRule).toUtf8();
}

// Whether the open transaction holds enough to be committed: as many lines or bytes as a chunk
// may hold, or (when asked to look) lines for as long as a chunk may last.
bool CopySender::chunkComplete(bool checkAge) const {
    if (!m_transaction.open())
        return false;
    const qsizetype bytes = m_sentEnd < lineCount() ? m_lines[m_sentEnd].offset : m_data.size();
    return m_sentEnd >= m_options.chunkLines || bytes >= m_options.chunkBytes ||
           (checkAge && m_transaction.ageMilliseconds() >= m_options.chunkMilliseconds);
}

// Moves the work on without blocking (wait false: only answers already in are taken) or until
// it is done (wait true). Returns while a COPY is streaming, or when nothing is in flight and
// nothing waits. A line to be sent alone goes in its turn, as its row statement (which blocks).
void CopySender::advance(bool wait) {
    while (!m_lost) {
        switch (m_phase) {
        case Phase::Streaming:
            return;
        case Phase::Ending:
            if (!wait && !answerReady())
                return;
            settlePiece();
            break;
        case Phase::Committing:
            if (!wait && !answerReady())
                return;
            settleCommit();
            break;
        case Phase::Idle: {
            if (chunkComplete(true)) {
                sendCommit();
                break;
            }
            if (m_sentEnd >= lineCount())
                return;
            if (m_lines[m_sentEnd].alone)
                sendWaitingAlone();
            else
                openPiece();
            break;
        }
        }
    }
}

// Whether the answer awaited is in, so that reading it won't block.
bool CopySender::answerReady() {
    PGconn* conn = m_connection.handle();
    if (PQflush(conn) < 0 || PQconsumeInput(conn) != 1)
        return true; // the failure is read as the answer
    return PQisBusy(conn) == 0;
}

bool CopySender::control(const char* statement) {
    const Result result = m_connection.run(statement);
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        m_broken = true;
        return false;
    }
    return true;
}

// Opens a COPY (behind the savepoint) and waits until the server takes data.
bool CopySender::beginCopy() {
    const Result result = m_connection.run(m_transaction.prefix() + m_copyStatement);
    return PQresultStatus(result.get()) == PGRES_COPY_IN;
}

// Reads the answer to a COPY whose end was sent; true when the server took every line of it.
bool CopySender::collectCopyEnd() {
    bool ok = true;
    m_failedLine = 0;
    for (;;) {
        const Result result = m_connection.nextResult();
        if (!result.get())
            return ok;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COPY_IN) {
            // The end did not get through; give up the COPY so that the results can end.
            if (!m_connection.putCopyEnd("the COPY data could not be sent"))
                return false;
            ok = false;
        } else if (status != PGRES_COMMAND_OK) {
            ok = false;
            if (m_failedLine == 0)
                m_failedLine = failedCopyLine(result.get());
        }
    }
}

// The line of the COPY data (counted from 1) that the server's error names in its context
// ("COPY table, line 12, ..." in the server's language), or 0.
qsizetype CopySender::failedCopyLine(const PGresult* result) const {
    const char* context = PQresultErrorField(result, PG_DIAG_CONTEXT);
    if (!context)
        return 0;
    const QByteArray prefix = "COPY " + m_table.toUtf8() + ", ";
    for (const QByteArray& line : QByteArray(context).split('\n')) {
        if (!line.startsWith(prefix))
            continue;
        qsizetype at = prefix.size();
        while (at < line.size() && !std::isdigit(static_cast<unsigned char>(line[at])) &&
               line[at] != ',' && line[at] != ':')
            ++at;
        qsizetype number = 0;
        for (; at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])); ++at)
            number = std::min<qsizetype>(number * 10 + (line[at] - '0'), 1 << 30);
        return number;
    }
    return 0;
}

// Opens a COPY for the lines waiting to be sent: all of them join it, and the lines that
// arrive next too, up to the length of a piece.
void CopySender::openPiece() {
    m_pieceBegin = m_sentEnd;
    m_pieceFailed = false;
    const qsizetype room = std::max<qsizetype>(1, m_options.chunkLines - m_pieceBegin);
    const qsizetype limit = std::min(m_pieces->limit(), room);
    // The piece ends before the first line to be sent alone.
    const qsizetype last = std::min(lineCount(), m_pieceBegin + limit);
    m_sentEnd = m_pieceBegin;
    while (m_sentEnd < last && !m_lines[m_sentEnd].alone)
        ++m_sentEnd;
    m_streamed = m_lines[m_pieceBegin].offset;
    if (!beginCopy()) {
        // Nothing of it went out: split it at once.
        m_pieceFailed = true;
        m_phase = Phase::Ending;
        settlePiece();
        return;
    }
    m_phase = Phase::Streaming;
    if (m_sentEnd - m_pieceBegin >= limit || m_sentEnd < lineCount() || chunkComplete(true))
        endStreaming();
    else
        stream(false);
}

void CopySender::stream(bool all) {
    const qsizetype end = m_sentEnd < lineCount() ? m_lines[m_sentEnd].offset : m_data.size();
    const qsizetype waiting = end - m_streamed;
    if (waiting == 0 || (!all && waiting < StreamBytes))
        return;
    if (!m_connection.putCopyData(m_data.constData() + m_streamed, waiting))
        m_pieceFailed = true; // the answer carries the error
    m_streamed = end;
}

void CopySender::endStreaming() {
    stream(true);
    if (!m_connection.putCopyEnd())
        m_pieceFailed = true;
    m_phase = Phase::Ending;
}

// Reads the answer to the COPY that ended and settles its lines: all in, or split until every
// line is either in or rejected.
void CopySender::settlePiece() {
    const bool accepted = !m_pieceFailed ? collectCopyEnd() : (collectCopyEnd(), false);
    m_phase = Phase::Idle;
    ++m_settledPieces;
    const qsizetype begin = m_pieceBegin;
    const qsizetype end = m_sentEnd;
    m_pieceBegin = end;
    if (!accepted && PQstatus(m_connection.handle()) == CONNECTION_BAD) {
        if (!abandonOnStop())
            m_lost = true; // the lines are sent again over a new connection
        return;
    }
    if (accepted) {
        m_transaction.workDone();
        m_acceptedInChunk += end - begin;
        m_pieces->settled(end - begin, 0);
        return;
    }
    if (!m_broken && !abandonOnStop()) {
        m_transaction.attemptFailed();
        const qsizetype rejectedBefore = m_rejections.fromServer();
        // The lines after the one named go with the next COPY.
        const qsizetype named = sendUpToNamed(begin, end);
        if (named < 0)
            sendRange(begin, end, true);
        else
            m_sentEnd = m_pieceBegin = named + 1;
        if (m_abandoned) {
            m_sentEnd = m_pieceBegin = 0; // the lines are gone (abandonOnStop())
            return;
        }
        m_pieces->settled(m_sentEnd - begin, m_rejections.fromServer() - rejectedBefore);
    }
    if (m_broken)
        salvage(m_sentEnd);
}

void CopySender::sendCommit() {
    const QByteArray statement = m_transaction.commitStatement();
    if (PQsendQuery(m_connection.handle(), statement.constData()) == 1 && m_connection.flush()) {
        m_phase = Phase::Committing;
        m_commitInFlight = true;
    } else
        salvage(m_sentEnd);
}

// Reads the answer to COMMIT: the chunk's lines are reported, or sent again row by row.
void CopySender::settleCommit() {
    bool committed = true;
    bool last = false;
    for (Result result = m_connection.nextResult(); result.get();
         result = m_connection.nextResult()) {
        committed = committed && PQresultStatus(result.get()) == PGRES_COMMAND_OK;
        // A transaction that had failed answers COMMIT with ROLLBACK.
        last = qstrcmp(PQcmdStatus(result.get()), "COMMIT") == 0;
    }
    committed = committed && last;
    m_phase = Phase::Idle;
    // A COMMIT unanswered when the connection broke may have gone through: that stays known.
    m_commitInFlight = !committed && PQstatus(m_connection.handle()) == CONNECTION_BAD;
    if (!committed && abandonOnStop())
        return;
    if (!committed) {
        salvage(m_sentEnd);
        return;
    }
    m_transaction.committed();
    m_accepted += m_acceptedInChunk;
    m_acceptedInChunk = 0;
    release(m_sentEnd);
}

// Sends the first waiting line, one to be sent alone, as its own row statement; every line
// before it is settled.
void CopySender::sendWaitingAlone() {
    const qsizetype line = m_sentEnd;
    if (!m_broken)
        sendAlone(line);
    if (m_abandoned)
        return;
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
    if (m_transaction.open()) {
        sendCommit();
        advance(true);
    }
    if (!m_lost)
        release(m_sentEnd); // rejections of lines never sent (NUL) after the last chunk
}

// Sends lines [begin, end) in order; true when the server took all of them. knownToFail: the
// range as a whole was just rejected in this very state, so only its halves are tried.
bool CopySender::sendRange(qsizetype begin, qsizetype end, bool knownToFail) {
    if (m_broken || m_abandoned)
        return false;
    if (end - begin == 1)
        return sendAlone(begin);
    if (!knownToFail) {
        if (copyRange(begin, end))
            return true;
        const qsizetype named = sendUpToNamed(begin, end);
        if (named >= 0) {
            if (named + 1 < end)
                sendRange(named + 1, end, false);
            return false;
        }
    }
    const qsizetype middle = begin + (end - begin) / 2;
    const bool leftIn = sendRange(begin, middle, false);
    // With the left half in, the right half meets the state in which the whole failed, so
    // it fails again by itself: go straight to its halves.
    sendRange(middle, end, leftIn);
    return false;
}

// After a COPY of lines [begin, end) failed at a line its error names: the lines before it
// went in when it was tried, so they are sent again, then that line alone. Returns that line,
// or -1 when the error names none of them.
qsizetype CopySender::sendUpToNamed(qsizetype begin, qsizetype end) {
    const qsizetype named = m_failedLine > 0 ? begin + m_failedLine - 1 : -1;
    if (named < begin || named >= end)
        return -1;
    if (named > begin)
        sendRange(begin, named, false);
    if (!m_broken)
        sendAlone(named);
    return named;
}

bool CopySender::copyRange(qsizetype begin, qsizetype end) {
    m_failedLine = 0;
    if (!beginCopy()) {
        abandonOnStop();
        m_transaction.attemptFailed();
        return false;
    }
    const qsizetype from = m_lines[begin].offset;
    const qsizetype to = lineEnd(end - 1);
    bool ok = m_connection.putCopyData(m_data.constData() + from, to - from);
    ok = m_connection.putCopyEnd() && ok;
    ok = collectCopyEnd() && ok;
    if (!ok) {
        abandonOnStop();
        m_transaction.attemptFailed();
        return false;
    }
    m_transaction.workDone();
    m_acceptedInChunk += end - begin;
    return true;
}

// One line as its own row statement, behind the savepoint.
bool CopySender::sendAlone(qsizetype line) {
    if (m_abandoned)
        return false;
    const QByteArray prefix = m_transaction.prefix();
    if (!prefix.isEmpty() && !control(prefix.constData()))
        return false;
    if (insertLine(line)) {
        m_transaction.workDone();
        ++m_acceptedInChunk;
        return true;
    }
    m_transaction.attemptFailed();
    return false;
}

// One line as its own row statement, sent as the row-by-row path sends it, so that the
// server's message (and libpq's pointer into the statement) reads the same. A rejection is
// kept for the report.
bool CopySender::insertLine(qsizetype line) {
    const Result result = m_connection.run(insertStatement(line), true);
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK)
        return true;
    if (PQstatus(m_connection.handle()) == CONNECTION_BAD)
        m_lost = true; // not the line's fault: it is sent again over a new connection
    else if (!abandonOnStop())
        m_rejections.add(m_lines[line].index, resultError(m_connection.handle(), result.get()),
                         false);
    return false;
}

// Nothing of lines [0, end) is committed: roll the transaction back and send every one of
// them again, one INSERT each, each its own transaction, as the row-by-row path would.
void CopySender::salvage(qsizetype end) {
    if (abandonOnStop())
        return;
    PGconn* conn = m_connection.handle();
    if ((m_lost = PQstatus(conn) == CONNECTION_BAD))
        return;
    if (m_phase == Phase::Streaming)
        m_connection.putCopyEnd("the chunk is sent again row by row");
    while (m_connection.nextResult().get()) {
    }
    if (m_transaction.open() && PQtransactionStatus(conn) != PQTRANS_IDLE)
        m_connection.run("ROLLBACK");
    forgetTransaction();
    const qint64 boundary =
        end < lineCount() ? m_lines[end].index : std::numeric_limits<qint64>::max();
    m_rejections.dropServerBefore(boundary);
    for (qsizetype line = 0; line < end; ++line) {
        if (insertLine(line)) {
            ++m_accepted;
        } else if (m_abandoned) {
            return;
        } else if (m_lost) {
            end = line; // the lines before it are committed, each on its own
            break;
        }
    }
    m_sentEnd = end;
    release(end);
}

qint64 CopySender::firstUncommitted() const {
    if (m_rowByRow)
        return m_rowByRow->firstUncommitted();
    const qint64 first =
        m_lines.empty() ? std::numeric_limits<qint64>::max() : m_lines.front().index;
    return std::min(first, m_rejections.first()); // a rejection not yet reported
}

std::optional<ChunkInDoubt> CopySender::inDoubt() const {
    if (m_rowByRow)
        return m_rowByRow->inDoubt();
    if (!m_commitInFlight || !m_transaction.open())
        return std::nullopt;
    return m_transaction.inDoubt();
}

std::pair<qint64, qint64> CopySender::unanswered() const {
    if (m_rowByRow)
        return m_rowByRow->unanswered();
    if (!m_commitInFlight || m_sentEnd == 0)
        return {-1, -1};
    return {m_lines.front().index, m_lines[m_sentEnd - 1].index};
}

void CopySender::settleInDoubt(bool committed) {
    m_commitInFlight = false;
    if (!committed || !m_transaction.open())
        return;
    m_accepted += m_acceptedInChunk;
    release(m_sentEnd);
}

// After a stop was taken a failure is the server's answer to the cancel request: the
// transaction in flight is rolled back by the server, and every line not committed is left
// unsent and unreported, as a stop leaves the lines behind it. The connection is not used again.
bool CopySender::abandonOnStop() {
    if (!m_connection.stopTaken())
        return false;
    if (m_abandoned)
        return true;
    release(0); // rejections of lines before the first uncommitted one
    m_rejections.clear();
    m_lines.clear();
    m_data.clear();
    m_sentEnd = m_pieceBegin = m_streamed = 0;
    forgetTransaction();
    m_stopped = m_abandoned = true;
    return true;
}

// The transaction is gone (rolled back, or left to the server to roll back).
void CopySender::forgetTransaction() {
    m_phase = Phase::Idle;
    m_transaction.end();
    m_broken = false;
    m_acceptedInChunk = 0;
}

// Lines [0, end) are settled: reports their rejections in line order and forgets them.
void CopySender::release(qsizetype end) {
    const qint64 boundary =
        end < lineCount() ? m_lines[end].index : std::numeric_limits<qint64>::max();
    const std::vector<PendingRejections::Entry> report = m_rejections.takeBefore(boundary);

    if (end > 0) {
        const qsizetype bytes = end < lineCount() ? m_lines[end].offset : m_data.size();
        // Moved rather than removed, so that the room stays where appending needs it.
        std::memmove(m_data.data(), m_data.constData() + bytes, m_data.size() - bytes);
        m_data.truncate(m_data.size() - bytes);
        m_lines.erase(m_lines.begin(), m_lines.begin() + end);
        for (Line& line : m_lines)
            line.offset -= bytes;
        m_sentEnd -= end;
        m_pieceBegin = std::max<qsizetype>(0, m_pieceBegin - end);
        m_streamed = std::max<qsizetype>(0, m_streamed - bytes);
    }
    for (const PendingRejections::Entry& rejection : report)
        m_rejected(rejection.index, rejection.description);
}
