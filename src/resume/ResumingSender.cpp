#include "resume/ResumingSender.h"

#include "resume/RunConnection.h"
#include "sending/copy/ChunkMarker.h"
#include "textfile/RecordReader.h"

#include <algorithm>
#include <iterator>

namespace {

// Between two attempts to learn a chunk's fate that failed over connections that opened.
constexpr int LookupPauseMs = 500;

// The lines of the list from first to last, taken out of it; how many there were.
qsizetype takeRange(std::vector<qint64>& lines, qint64 first, qint64 last) {
    return std::erase_if(lines,
                         [first, last](qint64 line) { return line >= first && line <= last; });
}

} // namespace

ResumingSender::ResumingSender(Context context)
    : m_context(std::move(context))
    , m_reconnector(m_context.settings, m_context.stop, [this](int seconds) {
        if (m_context.waiting)
            m_context.waiting(rowsAccepted(), seconds);
    }) {
    if (Connection* open = m_context.connection.current(); !open || !open->isOpen())
        m_gaveUp = QStringLiteral("the connection to the server could not be opened");
}

ResumingSender::~ResumingSender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

void ResumingSender::send(const Record& record) {
    if (m_stopped || m_finished)
        return;
    if (!m_gaveUp.isEmpty()) {
        // Once given up, a line is only counted as not sent.
        if (m_unsent++ == 0)
            m_firstUnsent = record.line;
        return;
    }
    if (!m_sender) {
        m_valueCount = record.fieldCount;
        m_sender = m_context.make(*m_context.connection.current(), m_valueCount);
    }
    m_sender->send(record);
    if (m_sender->taking())
        return; // nothing to resume, nothing refused
    resumeWhileLost();
    takeRefusal();
}

void ResumingSender::finish() {
    if (m_finished)
        return;
    m_finished = true;
    while (m_sender && !m_stopped) {
        m_sender->finish();
        if (!lost())
            break;
        resumeWhileLost();
    }
    takeRefusal();
    if (m_context.reportNotSent && notSent())
        m_context.rejected({m_firstUnsent,
                            QStringLiteral("%1 line(s) of %2, from line %3 on, were not sent: %4.")
                                .arg(m_unsent)
                                .arg(m_context.path)
                                .arg(m_firstUnsent + 1)
                                .arg(m_gaveUp),
                            {},
                            false,
                            m_unsent});
}

std::optional<ResumingSender::NotSent> ResumingSender::notSent() const {
    if (m_gaveUp.isEmpty() || m_unsent == 0)
        return std::nullopt;
    return NotSent{m_firstUnsent, m_unsent, m_gaveUp};
}

qint64 ResumingSender::rowsAccepted() const {
    return m_acceptedBefore + (m_sender ? m_sender->rowsAccepted() : 0);
}

void ResumingSender::resumeWhileLost() {
    while (lost() && resume()) {
    }
}

// Over a new connection: settles the chunk in doubt, then sends the lines not committed again
// to a new sender. False when the sender was given up (no server, or a stop).
bool ResumingSender::resume() {
    const LostConnection left = *m_sender->lostConnection();
    m_acceptedBefore += m_sender->rowsAccepted();
    // What the broken sender had not committed comes before what it was still owed.
    std::vector<qint64> owed;
    std::set_union(left.notCommitted.begin(), left.notCommitted.end(), m_owed.begin(), m_owed.end(),
                   std::back_inserter(owed));
    m_owed = std::move(owed);

    ChunkFate fate = ChunkFate::NotCommitted;
    QString failure;
    std::optional<Connection> fresh = reconnect(left.chunkInDoubt, fate, failure);
    m_sender.reset();
    if (m_stopped) {
        m_owed.clear();
        return false;
    }
    if (left.chunkInDoubt)
        settleChunk(*left.chunkInDoubt, fresh ? std::optional(fate) : std::nullopt);
    if (left.unanswered.first >= 0)
        nameInDoubt(left.unanswered.first, left.unanswered.second);
    if (!fresh) {
        giveUp(failure);
        return false;
    }
    removeMarkers(*fresh, left);
    ++m_resumptions;
    m_sender = m_context.make(m_context.connection.replace(std::move(*fresh)), m_valueCount);
    return resend();
}

// What the server's evidence says of the chunk in doubt (no fate: the server did not come
// back): committed, its rows count and its rejections are reported; not committed, its lines
// are sent again; unknown, they are named.
void ResumingSender::settleChunk(const ChunkInDoubt& chunk, std::optional<ChunkFate> fate) {
    if (fate == ChunkFate::NotCommitted)
        return;
    if (fate == ChunkFate::Committed) {
        m_acceptedBefore += chunk.rowsAccepted;
        std::erase_if(m_owed, [&chunk](qint64 line) { return line < chunk.lineAfter; });
        for (const PendingRejections::Entry& rejection : chunk.rejections)
            m_context.rejected({rejection.index, rejection.description, rejection.sqlState});
        return;
    }
    nameInDoubt(chunk.firstLine, chunk.lastLine);
}

// Lines whose answers were lost with the connection, with no way to learn whether they went in
// (row by row; a COPY chunk whose fate can't be learnt), are not sent again, which could put
// them in twice: one message names them for the user to look at.
void ResumingSender::nameInDoubt(qint64 first, qint64 last) {
    const qsizetype count = takeRange(m_owed, first, last);
    m_context.rejected({first,
                        QStringLiteral("%1 line(s) of %2, lines %3 to %4, may or may not be in "
                                       "the table: the connection to the server was lost "
                                       "before the server answered for them.")
                            .arg(count)
                            .arg(m_context.path)
                            .arg(first + 1)
                            .arg(last + 1),
                        {},
                        false,
                        count});
}

// A new connection over which the chunk in doubt, if any, was settled (its fate). Everything
// that fails is tried again until the bound, counted from the loss, has passed: the server may
// refuse connections while it starts or recovers, and may go away again while it is asked.
// Without a connection, failure says why; after a stop, nothing is returned and m_stopped is
// set.
std::optional<Connection> ResumingSender::reconnect(const std::optional<ChunkInDoubt>& chunk,
                                                    ChunkFate& fate, QString& failure) {
    const QDeadlineTimer deadline = Reconnector::deadline();
    QString lookupFailed; // the server's words when a connection was had but the lookup failed
    try {
        while (!deadline.hasExpired()) {
            Connection fresh = m_reconnector.open(deadline); // throws once the deadline passed
            try {
                if (chunk)
                    fate = m_reconnector.settle(fresh, *chunk);
                return fresh;
            } catch (const DatabaseError& error) {
                lookupFailed = error.description();
            }
            m_reconnector.pause(LookupPauseMs);
        }
    } catch (const Stopped&) {
        m_stopped = true;
        return std::nullopt;
    } catch (const DatabaseError&) {
        // No connection until the deadline.
    }
    failure = lookupFailed.isEmpty()
                  ? QStringLiteral("the connection to the server was lost and not regained "
                                   "within %1 s")
                        .arg(Reconnector::boundSeconds())
                  : QStringLiteral("the connection to the server was lost, and within %1 s the "
                                   "server did not say whether the last chunk committed (%2)")
                        .arg(Reconnector::boundSeconds())
                        .arg(lookupFailed);
    return std::nullopt;
}

// The markers of chunks that committed over the lost connection, the chunk in doubt's among
// them, are removed over the new one; a marker that can't be removed stays behind.
void ResumingSender::removeMarkers(Connection& connection, const LostConnection& lost) {
    QList<quint32> markers = lost.markersLeft;
    if (lost.chunkInDoubt && lost.chunkInDoubt->marker != 0)
        markers.append(lost.chunkInDoubt->marker);
    if (markers.isEmpty())
        return;
    try {
        connection.execute(QStringLiteral("SELECT ") +
                           QString::fromLatin1(ChunkMarker::removal(markers)));
    } catch (const DatabaseError&) {
    }
}

// Reads the file again and hands the lines owed to the new sender, as the run handed them over
// the first time. False when the file no longer reads as it did.
bool ResumingSender::resend() {
    if (m_owed.empty())
        return true;
    RecordReader records = m_context.reread();
    Record record;
    std::size_t next = 0;
    while (next < m_owed.size() && !lost() && !m_sender->refusal() && records.next(record)) {
        if (record.line < m_owed[next] || record.fieldCount < 2)
            continue; // committed, reported, or in doubt
        if (record.line != m_owed[next] || record.problem != Record::Problem::None)
            break;
        m_sender->send(record);
        ++next;
    }
    m_owed.erase(m_owed.begin(), m_owed.begin() + static_cast<std::ptrdiff_t>(next));
    if (m_owed.empty() || lost() || takeRefusal())
        return true;
    // The file no longer reads as it did (written to in place): what was found again goes in,
    // the rest is not sent.
    m_sender->finish();
    if (lost())
        return true;
    m_acceptedBefore += m_sender->rowsAccepted();
    m_sender.reset();
    giveUp(QStringLiteral("the file changed while it was imported"));
    return false;
}

// The lines owed are not sent; should the server still have committed a chunk in doubt, its
// lines are counted among them.
void ResumingSender::giveUp(const QString& reason) {
    m_gaveUp = reason;
    m_unsent = static_cast<qint64>(m_owed.size());
    m_firstUnsent = m_owed.empty() ? -1 : m_owed.front();
    m_owed.clear();
}

// Once the sender reports that the server refused the table, it is finished (what came before
// the refused line is committed and reported) and the file is given up from the refused line:
// the lines it did not put in, the lines still owed and every later line are not sent. True
// when the file was so given up now.
bool ResumingSender::takeRefusal() {
    if (!m_sender || !m_gaveUp.isEmpty() || !m_sender->refusal())
        return false;
    m_sender->finish();
    const TableRefusal refusal = *m_sender->refusal();
    m_gaveUp = QStringLiteral("the server refused them (%1)").arg(refusal.words);
    m_firstUnsent = refusal.line;
    m_unsent =
        refusal.notSent + std::count_if(m_owed.begin(), m_owed.end(),
                                        [&refusal](qint64 line) { return line > refusal.line; });
    m_owed.clear();
    return true;
}
