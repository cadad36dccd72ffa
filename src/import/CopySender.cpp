#include "import/CopySender.h"

#include "database/Connection.h"
#include "import/CopyTarget.h"
#include "import/CopyText.h"
#include "import/InsertSender.h"
#include "import/Statements.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cmath>

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
    , m_options(std::move(options)) {
    m_options.chunkLines = std::max<qsizetype>(m_options.chunkLines, 1);
    m_options.minPieceLines =
        std::clamp<qsizetype>(m_options.minPieceLines, 1, m_options.chunkLines);
    m_pieceLimit = m_options.chunkLines;
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
    const std::optional<QString> columns = copyColumnList(m_connection, m_table, valueCount);
    if (columns) {
        m_mode = Mode::Copy;
        m_valueCount = valueCount;
        m_copyStatement = (QStringLiteral("COPY ") + quoteIdentifier(m_table) + QLatin1Char(' ') +
                           *columns + QStringLiteral(" FROM STDIN"))
                              .toUtf8();
    } else {
        m_mode = Mode::RowByRow;
        m_rowByRow = std::make_unique<InsertSender>(m_connection, m_table, m_path, m_rejected);
    }
}

void CopySender::send(qint64 lineIndex, const QStringList& fields) {
    if (m_finished || m_stopped)
        return;
    if (m_mode == Mode::Undecided)
        decide(fields.size());
    if (m_mode == Mode::RowByRow) {
        m_rowByRow->send(lineIndex, fields);
        return;
    }
    if (HoldsNulCharacter(fields)) {
        m_rejections.push_back({lineIndex, NulCharacterRejection(lineIndex, m_path), true});
        return;
    }

    const bool alone = fields.size() != m_valueCount;
    if (alone)
        endPiece();
    if (m_lines.empty()) {
        m_data.reserve(m_options.chunkBytes + StreamBytes); // pages are touched only as used
        m_chunkAge.start();
    }
    m_lines.push_back({lineIndex, m_data.size(), alone});
    appendCopyLine(m_data, fields);

    bool pieceEnded = false;
    if (alone) {
        if (!m_broken)
            sendAlone(static_cast<qsizetype>(m_lines.size()) - 1);
        if (m_broken)
            salvage();
        m_pieceBegin = static_cast<qsizetype>(m_lines.size());
        m_streamed = m_data.size();
        pieceEnded = true;
    } else {
        if (!m_copyOpen && !m_pieceFailed && !m_broken)
            openPiece();
        stream(false);
        if (static_cast<qsizetype>(m_lines.size()) - m_pieceBegin >= m_pieceLimit) {
            endPiece();
            pieceEnded = true;
        }
    }
    const qsizetype lines = static_cast<qsizetype>(m_lines.size());
    if (lines >= m_options.chunkLines || m_data.size() >= m_options.chunkBytes ||
        (lines % 256 == 0 && m_chunkAge.elapsed() >= m_options.chunkMilliseconds)) {
        endChunk();
        pieceEnded = true;
    }
    if (pieceEnded && m_options.stopRequested && m_options.stopRequested()) {
        endChunk();
        m_stopped = true;
    }
}

void CopySender::finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_rowByRow)
        m_rowByRow->finish();
    else
        endChunk();
}

qsizetype CopySender::lineEnd(qsizetype line) const {
    return line + 1 < static_cast<qsizetype>(m_lines.size()) ? m_lines[line + 1].offset
                                                             : m_data.size();
}

QByteArray CopySender::insertStatement(qsizetype line) const {
    const qsizetype begin = m_lines[line].offset;
    const qsizetype end = lineEnd(line) - 1; // without the line feed
    const QStringList fields = copyLineFields(QByteArrayView(m_data).sliced(begin, end - begin));
    return BuildInsertStatement(m_table, fields).toUtf8();
}

qsizetype CopySender::serverRejections() const {
    return std::count_if(m_rejections.begin(), m_rejections.end(),
                         [](const Rejection& rejection) { return !rejection.local; });
}

// The statements that must come before the next attempt: the transaction and its savepoint
// when none is open, a fresh savepoint when work was done since the last one (so that a failed
// attempt takes back only itself).
QByteArray CopySender::transactionPrefix() {
    if (!m_inTransaction) {
        m_inTransaction = true;
        m_dirty = false;
        return QByteArrayLiteral("BEGIN; SAVEPOINT quenmarl_copy; ");
    }
    if (m_dirty) {
        m_dirty = false;
        return QByteArrayLiteral("RELEASE SAVEPOINT quenmarl_copy; SAVEPOINT quenmarl_copy; ");
    }
    return {};
}

bool CopySender::control(const char* statement) {
    const Result result(PQexec(m_connection.handle(), statement));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        m_broken = true;
        return false;
    }
    return true;
}

// Takes back a failed attempt. When even that fails the chunk is broken.
void CopySender::rollBackAttempt() {
    m_dirty = false;
    control("ROLLBACK TO SAVEPOINT quenmarl_copy");
}

bool CopySender::beginCopy() {
    PGconn* conn = m_connection.handle();
    const QByteArray statement = transactionPrefix() + m_copyStatement;
    if (!conn || PQsendQuery(conn, statement.constData()) != 1)
        return false;
    bool failed = false;
    for (;;) {
        const Result result(PQgetResult(conn));
        if (!result.get())
            return false;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COPY_IN && !failed)
            return true;
        if (status != PGRES_COMMAND_OK)
            failed = true;
    }
}

// Ends the COPY that beginCopy() opened; true when the server took every line of it.
bool CopySender::endCopy() {
    PGconn* conn = m_connection.handle();
    bool ok = PQputCopyEnd(conn, nullptr) == 1;
    for (;;) {
        const Result result(PQgetResult(conn));
        if (!result.get())
            break;
        const ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COPY_IN) {
            // The end did not get through; give up the COPY so that the results can end.
            PQputCopyEnd(conn, "the COPY data could not be sent");
            ok = false;
        } else if (status != PGRES_COMMAND_OK) {
            ok = false;
        }
    }
    return ok;
}

void CopySender::openPiece() {
    m_streamed = m_lines[m_pieceBegin].offset;
    m_copyOpen = beginCopy();
    m_pieceFailed = !m_copyOpen;
}

void CopySender::stream(bool all) {
    if (!m_copyOpen)
        return;
    const qsizetype waiting = m_data.size() - m_streamed;
    if (waiting == 0 || (!all && waiting < StreamBytes))
        return;
    if (PQputCopyData(m_connection.handle(), m_data.constData() + m_streamed,
                      static_cast<int>(waiting)) != 1)
        m_pieceFailed = true; // endCopy() collects the error
    m_streamed = m_data.size();
}

// Ends the COPY statement being streamed and settles its lines: all in, or split until every
// line is either in or rejected.
void CopySender::endPiece() {
    const qsizetype begin = m_pieceBegin;
    const qsizetype end = static_cast<qsizetype>(m_lines.size());
    if (begin == end)
        return;
    bool accepted = false;
    if (m_copyOpen) {
        stream(true);
        accepted = endCopy() && !m_pieceFailed;
        m_copyOpen = false;
    }
    const bool attempted = !m_broken;
    m_pieceBegin = end;
    m_pieceFailed = false;
    m_streamed = m_data.size();
    if (accepted) {
        m_dirty = true;
        m_acceptedInChunk += end - begin;
        adjustPieceLimit(end - begin, 0);
        return;
    }
    if (attempted) {
        rollBackAttempt();
        const qsizetype rejectedBefore = serverRejections();
        sendRange(begin, end, true);
        adjustPieceLimit(end - begin, serverRejections() - rejectedBefore);
    }
    if (m_broken)
        salvage();
}

// Sends lines [begin, end) in order; true when the server took all of them. knownToFail: the
// range as a whole was just rejected in this very state, so only its halves are tried.
bool CopySender::sendRange(qsizetype begin, qsizetype end, bool knownToFail) {
    if (m_broken)
        return false;
    if (end - begin == 1)
        return sendAlone(begin);
    if (!knownToFail && copyRange(begin, end))
        return true;
    const qsizetype middle = begin + (end - begin) / 2;
    const bool leftIn = sendRange(begin, middle, false);
    // With the left half in, the right half meets the state in which the whole failed, so
    // it fails again by itself: go straight to its halves.
    sendRange(middle, end, leftIn);
    return false;
}

bool CopySender::copyRange(qsizetype begin, qsizetype end) {
    if (!beginCopy()) {
        rollBackAttempt();
        return false;
    }
    const qsizetype from = m_lines[begin].offset;
    const qsizetype to = lineEnd(end - 1);
    bool ok = PQputCopyData(m_connection.handle(), m_data.constData() + from,
                            static_cast<int>(to - from)) == 1;
    ok = endCopy() && ok;
    if (!ok) {
        rollBackAttempt();
        return false;
    }
    m_dirty = true;
    m_acceptedInChunk += end - begin;
    return true;
}

// One line as its own row statement, behind the savepoint.
bool CopySender::sendAlone(qsizetype line) {
    const QByteArray prefix = transactionPrefix();
    if (!prefix.isEmpty() && !control(prefix.constData()))
        return false;
    PGconn* conn = m_connection.handle();
    const QByteArray statement = insertStatement(line);
    // Sent as the row-by-row path sends it, so that the server's message (and libpq's
    // pointer into the statement) reads the same.
    const Result result(
        PQexecParams(conn, statement.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK) {
        m_dirty = true;
        ++m_acceptedInChunk;
        return true;
    }
    m_rejections.push_back({m_lines[line].index, resultError(conn, result.get()), false});
    rollBackAttempt();
    return false;
}

// Commits the chunk and reports its rejections; on any failure of the transaction, sends the
// chunk again row by row.
void CopySender::endChunk() {
    endPiece();
    if (m_inTransaction) {
        const Result result(PQexec(m_connection.handle(), "COMMIT"));
        // A transaction that had failed answers COMMIT with ROLLBACK.
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK ||
            qstrcmp(PQcmdStatus(result.get()), "COMMIT") != 0) {
            m_broken = true;
            salvage();
            return;
        }
        m_inTransaction = false;
        m_dirty = false;
    }
    m_accepted += m_acceptedInChunk;
    reportChunk();
}

// Nothing of the chunk is committed: roll it back and send every line of it again, one
// INSERT each, each its own transaction, as the row-by-row path would.
void CopySender::salvage() {
    PGconn* conn = m_connection.handle();
    if (m_copyOpen) {
        PQputCopyEnd(conn, "the chunk is sent again row by row");
        while (PGresult* result = PQgetResult(conn))
            PQclear(result);
        m_copyOpen = false;
    }
    if (m_inTransaction && PQtransactionStatus(conn) != PQTRANS_IDLE)
        PQclear(PQexec(conn, "ROLLBACK"));
    m_inTransaction = false;
    m_dirty = false;
    m_broken = false;
    m_acceptedInChunk = 0;
    std::erase_if(m_rejections, [](const Rejection& rejection) { return !rejection.local; });
    for (qsizetype line = 0; line < static_cast<qsizetype>(m_lines.size()); ++line) {
        const QByteArray statement = insertStatement(line);
        const Result result(
            PQexecParams(conn, statement.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0));
        if (PQresultStatus(result.get()) == PGRES_COMMAND_OK)
            ++m_accepted;
        else
            m_rejections.push_back({m_lines[line].index, resultError(conn, result.get()), false});
    }
    reportChunk();
}

void CopySender::reportChunk() {
    std::stable_sort(m_rejections.begin(), m_rejections.end(),
                     [](const Rejection& a, const Rejection& b) { return a.index < b.index; });
    std::vector<Rejection> rejections;
    rejections.swap(m_rejections);
    m_lines.clear();
    m_data.resize(0); // keeps the room for the next chunk
    m_acceptedInChunk = 0;
    m_pieceBegin = 0;
    m_streamed = 0;
    m_pieceFailed = false;
    for (const Rejection& rejection : rejections)
        m_rejected(rejection.index, rejection.description);
}

// The next COPY statement's length: the whole chunk while no line is rejected; otherwise the
// length that balances the cost of ending a statement against the lines sent again when one
// fails (about 1.5 statements' worth per rejected line), from the recent share of rejections.
void CopySender::adjustPieceLimit(qsizetype lines, qsizetype rejected) {
    m_recentLines += static_cast<double>(lines);
    m_recentRejected += static_cast<double>(rejected);
    const double window = 4.0 * static_cast<double>(m_options.chunkLines);
    while (m_recentLines > window) {
        m_recentLines /= 2;
        m_recentRejected /= 2;
    }
    if (m_recentRejected <= 0 || m_recentLines <= 0) {
        m_pieceLimit = m_options.chunkLines;
        return;
    }
    const double share = m_recentRejected / m_recentLines;
    const double best = std::sqrt(m_options.pieceSwitchCost / (1.5 * share));
    m_pieceLimit =
        std::clamp(static_cast<qsizetype>(best), m_options.minPieceLines, m_options.chunkLines);
}
