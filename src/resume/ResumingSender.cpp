#include "resume/ResumingSender.h"

#include "resume/RunConnection.h"
#include "sending/copy/ChunkMarker.h"
#include "textfile/RecordReader.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {
// Between two attempts to learn a chunk's fate that failed over connections that opened.
constexpr int LookupPauseMs = 500;
} // namespace

ResumingSender::ResumingSender(Context context)
    : m_context(std::move(context))
    , m_reconnector(m_context.settings, m_context.stop, [this](int seconds) {
        if (m_context.waiting)
            m_context.waiting(rowsAccepted(), seconds);
    }) {
    if (Connection* open = m_context.connection.current(); open && open->isOpen())
        m_sender = m_context.make(*open);
    else
        m_gaveUp = QStringLiteral("the connection to the server could not be opened");
}

ResumingSender::~ResumingSender() {
    try {
        finish();
    } catch (...) {
        // finish() reports through the callback; nothing may leave a destructor.
    }
}

void ResumingSender::send(qint64 lineIndex, const QStringList& fields) {
    if (!take(lineIndex))
        return;
    m_sender->send(lineIndex, fields);
    afterSend();
}

void ResumingSender::sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                              qsizetype fieldCount) {
    if (!take(lineIndex))
        return;
    m_sender->sendUtf8(lineIndex, line, separator, fieldCount);
    afterSend();
}

// Whether the line goes to the sender; once given up, it is only counted as not sent.
bool ResumingSender::take(qint64 lineIndex) {
    if (m_stopped || m_finished)
        return false;
    if (!m_gaveUp.isEmpty()) {
        if (m_unsent++ == 0)
            m_firstUnsent = lineIndex;
        return false;
    }
    m_handed.push_back(lineIndex);
    return true;
}

void ResumingSender::afterSend() {
    resumeWhileLost();
    if (m_handed.size() % 1024 == 0) // asked now and then: a sender settles a chunk at a time
        forgetCommitted();
}

void ResumingSender::finish() {
    if (m_finished)
        return;
    m_finished = true;
    while (m_sender && !m_stopped) {
        m_sender->finish();
        if (!m_sender->connectionLost())
            break;
        resumeWhileLost();
    }
    forgetCommitted();
    if (!m_gaveUp.isEmpty() && m_unsent > 0)
        m_context.rejected(m_firstUnsent,
                           QStringLiteral("%1 line(s) of %2, from line %3 on, were not sent: %4.")
                               .arg(m_unsent)
                               .arg(m_context.path)
                               .arg(m_firstUnsent + 1)
                               .arg(m_gaveUp));
}

qint64 ResumingSender::rowsAccepted() const {
    return m_acceptedBefore + (m_sender ? m_sender->rowsAccepted() : 0);
}

qint64 ResumingSender::firstUncommitted() const {
    return m_handed.empty() ? std::numeric_limits<qint64>::max() : m_handed.front();
}

void ResumingSender::resumeWhileLost() {
    while (m_sender && m_sender->connectionLost() && resume()) {
    }
}

// Over a new connection: settles the transaction in doubt, then sends the lines from the first
// uncommitted one again to a new sender. False when the sender was given up (no server, or a
// stop).
bool ResumingSender::resume() {
    const std::optional<ChunkInDoubt> inDoubt = m_sender->inDoubt();
    ChunkFate fate = ChunkFate::NotCommitted;
    QString failure;
    std::optional<Connection> fresh = reconnect(inDoubt, fate, failure);
    if (m_stopped) {
        m_acceptedBefore += m_sender->rowsAccepted();
        m_sender.reset();
        m_handed.clear();
        return false;
    }
    if (fresh && fate != ChunkFate::Unknown)
        m_sender->settleInDoubt(fate == ChunkFate::Committed);
    if (fresh)
        removeMarkers(*fresh, inDoubt);
    forgetCommitted();
    reportUnanswered();
    if (!fresh)
        giveUp(failure);
    m_acceptedBefore += m_sender->rowsAccepted();
    m_sender.reset();
    if (m_stopped || !m_gaveUp.isEmpty()) {
        m_handed.clear();
        return false;
    }
    ++m_resumptions;
    m_sender = m_context.make(m_context.connection.replace(std::move(*fresh)));
    return resend();
}

// A new connection over which the chunk in doubt, if any, was settled (its fate). Everything
// that fails is tried again until the bound, counted from the loss, has passed: the server may
// refuse connections while it starts or recovers, and may go away again while it is asked.
// Without a connection, failure says why; after a stop, nothing is returned and m_stopped is
// set.
std::optional<Connection> ResumingSender::reconnect(const std::optional<ChunkInDoubt>& inDoubt,
                                                    ChunkFate& fate, QString& failure) {
    const QDeadlineTimer deadline = Reconnector::deadline();
    QString lookupFailed; // the server's words when a connection was had but the lookup failed
    try {
        while (!deadline.hasExpired()) {
            Connection fresh = m_reconnector.open(deadline); // throws once the deadline passed
            try {
                if (inDoubt)
                    fate = m_reconnector.settle(fresh, *inDoubt);
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
void ResumingSender::removeMarkers(Connection& connection,
                                   const std::optional<ChunkInDoubt>& inDoubt) {
    QList<quint32> markers = m_sender->markersLeft();
    if (inDoubt && inDoubt->marker != 0)
        markers.append(inDoubt->marker);
    if (markers.isEmpty())
        return;
    try {
        connection.execute(QStringLiteral("SELECT ") +
                           QString::fromLatin1(ChunkMarker::removal(markers)));
    } catch (const DatabaseError&) {
    }
}

// Reads the file again and hands the lines still held to the new sender, as the run handed
// them over the first time. False when the file no longer reads as it did.
bool ResumingSender::resend() {
    if (m_handed.empty())
        return true;
    RecordReader records = m_context.reread();
    Record record;
    std::size_t next = 0;
    while (next < m_handed.size() && !m_sender->connectionLost() && records.next(record)) {
        if (record.line < m_handed[next] || record.fieldCount < 2)
            continue; // committed, reported, or in doubt
        if (record.line != m_handed[next] || record.problem != Record::Problem::None)
            break;
        m_sender->sendRecord(record, m_context.separator);
        ++next;
    }
    if (next == m_handed.size() || m_sender->connectionLost())
        return true;
    // The file no longer reads as it did (written to in place): what was found again goes in,
    // the rest is not sent.
    m_sender->finish();
    if (m_sender->connectionLost())
        return true;
    giveUp(QStringLiteral("the file changed while it was imported"));
    m_acceptedBefore += m_sender->rowsAccepted();
    m_sender.reset();
    return false;
}

// Lines whose answers were lost with the connection, with no way to learn whether they went in
// (row by row; on the COPY path a chunk whose COMMIT went out when the server did not come
// back), are not sent again, which could put them in twice: one message names them for the
// user to look at.
void ResumingSender::reportUnanswered() {
    const auto [first, last] = m_sender->unanswered();
    if (first < 0)
        return;
    const auto inDoubt = [first, last](qint64 line) { return line >= first && line <= last; };
    const qint64 count = std::count_if(m_handed.begin(), m_handed.end(), inDoubt);
    std::erase_if(m_handed, inDoubt);
    m_context.rejected(first,
                       QStringLiteral("%1 line(s) of %2, lines %3 to %4, may or may not be in "
                                      "the table: the connection to the server was lost "
                                      "before the server answered for them.")
                           .arg(count)
                           .arg(m_context.path)
                           .arg(first + 1)
                           .arg(last + 1));
}

// The lines from the first one not known committed are not sent; should the server still have
// committed a transaction in doubt, its lines are counted among them.
void ResumingSender::giveUp(const QString& reason) {
    forgetCommitted();
    m_gaveUp = reason;
    m_unsent = static_cast<qint64>(m_handed.size());
    m_firstUnsent = m_handed.empty() ? -1 : m_handed.front();
}

// Drops the handed lines the current sender has settled.
void ResumingSender::forgetCommitted() {
    if (!m_sender)
        return;
    const qint64 first = m_sender->firstUncommitted();
    while (!m_handed.empty() && m_handed.front() < first)
        m_handed.pop_front();
}
