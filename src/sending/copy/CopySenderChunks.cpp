#include "sending/copy/CopySender.h"

#include "sending/Statements.h"

#include <algorithm>
#include <utility>

// Where a CopySender's chunks and pieces end, how a piece opens its transaction, and how the
// lines set aside go before the chunk's COMMIT.

namespace {
// A COPY that took this long to start (loopback takes well under one) is far away.
constexpr qint64 FarStartMs = 2;
constexpr int FarGrowth = 8; // lines of a chunk that is its own COPY
} // namespace

// The first COPY's start decides at once, so that a far server's first chunk is long already.
// A second start that is quick says the first was slow for another reason (a busy machine),
// and the chunks go back to their length.
void CopySender::measureDistance(qint64 startMilliseconds) {
    if (m_distanceSamples >= 2 || !m_options.growWhenFar)
        return;
    const bool slow = startMilliseconds >= FarStartMs;
    if (++m_distanceSamples == 1 && slow) {
        m_options.chunkBytes *= 2;
        m_options.ownChunkLines *= FarGrowth;
        m_grownForDistance = true;
    } else if (m_grownForDistance && !slow) {
        m_options.chunkBytes /= 2;
        m_options.ownChunkLines /= FarGrowth;
        m_grownForDistance = false;
    }
}

// While no line was rejected lately, a piece that would open the chunk's transaction is the
// chunk, and its COPY runs as a transaction of its own (selfCommittingPrefix()). Not where the
// first waiting line is set aside, or one was within a chunk's length of it (before or after):
// that chunk opens a transaction with BEGIN, as it must take such lines after its COPY.
bool CopySender::ownTransaction() const {
    if (m_transaction.open() || m_pieces.limit() < m_options.maxPieceLines ||
        (m_sentEnd < m_lines.count() && m_lines[m_sentEnd].aside))
        return false;
    const qint64 first = m_lines.boundary(m_sentEnd);
    return !m_lastAside || std::abs(first - *m_lastAside) > m_options.ownChunkLines;
}

// What goes before the piece's COPY: the opening of a COPY that is its own transaction, whose
// success commits it, sparing the COMMIT's round trip; or else the opening of the chunk's
// transaction, or a savepoint in it, before the piece.
QByteArray CopySender::piecePrefix(bool own) {
    return own ? m_transaction.selfCommittingPrefix() : m_transaction.prefix();
}

// The most lines the piece that begins at m_pieceBegin may take: up to the end of its chunk,
// and among savepoints no more than PieceSizer gives.
qsizetype CopySender::pieceLimit(bool own) const {
    const qsizetype chunk = own ? m_options.ownChunkLines : m_options.chunkLines;
    const qsizetype room = std::max<qsizetype>(1, chunk - m_pieceBegin);
    return own ? room : std::min(m_pieces.limit(), room);
}

// Whether the open transaction holds enough to be committed: as many lines or bytes as a chunk
// may hold, or (when asked to look) lines for as long as a chunk may last.
bool CopySender::chunkComplete(bool checkAge) const {
    if (!m_transaction.open())
        return false;
    const qsizetype lines =
        m_transaction.selfCommitting() ? m_options.ownChunkLines : m_options.chunkLines;
    // The text of lines set aside counts too (those waiting behind it among them), so that
    // memory stays bounded where every line is set aside.
    return m_sentEnd >= lines ||
           m_lines.offset(m_sentEnd) + m_lines.asideBytes() >= m_options.chunkBytes ||
           (checkAge && m_transaction.ageMilliseconds() >= m_options.chunkMilliseconds);
}

// Sends the lines of the open chunk that were set aside, each alone behind the savepoint, after
// its pieces and before its COMMIT; false when that left no chunk to commit. Should the server
// refuse the table at one of them, the lines after it already went in by COPY: the chunk is sent
// again row by row, which meets the refusal where one INSERT per line in line order meets it.
bool CopySender::sendAside() {
    for (; m_asideSent < m_sentEnd && m_end != End::Lost; ++m_asideSent) {
        if (!m_lines[m_asideSent].aside)
            continue;
        m_splitter.sendAlone(m_asideSent);
        if (m_splitter.halt() == RangeSplitter::Halt::Refused)
            m_broken = true;
        else if (!afterSplitting())
            return false;
        if (m_broken) {
            salvage(m_sentEnd);
            return false;
        }
    }
    return m_end != End::Lost;
}

// The fields a COPY line gives back hold NULL as a null text, so that under the quoted rule
// they make the line's statement whatever rule made the line (a typed column's empty first
// value is NULL there, where the plain rule would send the empty text).
QByteArray CopySender::insertStatement(qsizetype line) const {
    const FieldRule rule =
        m_target.targets.nullWhenEmpty.empty() ? m_options.fieldRule : FieldRule::Quoted;
    return BuildInsertStatement(m_target.table, m_lines.fields(line), rule, m_target.targets)
        .toUtf8();
}
