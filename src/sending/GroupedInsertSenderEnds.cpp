#include "sending/GroupedInsertSender.h"

#include "database/Connection.h"

#include <algorithm>
#include <limits>

// How a GroupedInsertSender's group ends: committed, sent again line by line, given up at a
// stop, or left behind by a lost connection.

void GroupedInsertSender::groupCommitted() {
    m_transaction.committed();
    m_accepted += std::exchange(m_acceptedInGroup, 0);
    reportHeld(std::numeric_limits<qint64>::max());
    dropGroup();
}

// Reports the rejections held for lines before the one given, in line order.
void GroupedInsertSender::reportHeld(qint64 before) {
    std::stable_sort(
        m_held.begin(), m_held.end(),
        [](const LineRejection& a, const LineRejection& b) { return a.line < b.line; });
    const auto end =
        std::find_if(m_held.begin(), m_held.end(),
                     [before](const LineRejection& held) { return held.line >= before; });
    const std::vector<LineRejection> report(m_held.begin(), end);
    m_held.erase(m_held.begin(), end);
    for (const LineRejection& rejection : report)
        m_rejected(rejection);
}

// The group's transaction failed as a whole (or the pipeline could not be used): none of its
// lines is in. Each goes again as its own transaction, as InsertSender sends it, with the
// server's message of that statement for a line rejected.
void GroupedInsertSender::sendEachOnItsOwn() {
    if (m_connection.inTransaction())
        m_connection.run("ROLLBACK");
    m_transaction.end();
    m_commitInFlight = m_rollBackFirst = false;
    m_acceptedInGroup = 0;
    // Only the rejections made here stay: the server is asked again for every other line.
    std::erase_if(m_held, [this](const LineRejection& held) {
        return std::any_of(m_group.begin(), m_group.end(), [&held](const Line& line) {
            return line.index == held.line && !line.statement.isEmpty();
        });
    });
    for (std::size_t i = 0; i < m_group.size(); ++i) {
        const Line& line = m_group[i];
        if (line.statement.isEmpty())
            continue;
        const Result result = m_connection.run(line.statement, true);
        if (result.succeeded()) {
            ++m_accepted;
            continue;
        }
        if (m_connection.stopTaken())
            return abandon();
        if (m_connection.isBroken()) {
            // Its answer was lost: it may or may not be in. The lines before it are settled.
            reportHeld(line.index);
            m_unanswered = line.index;
            m_group.erase(m_group.begin(), m_group.begin() + qsizetype(i));
            m_lost = true;
            return;
        }
        if (const std::optional<QString> words = TableRefusal::wordsOf(result)) {
            std::erase_if(m_held,
                          [&line](const LineRejection& held) { return held.line >= line.index; });
            m_refusal = TableRefusal{line.index, *words, qint64(m_group.size() - i)};
            break;
        }
        m_held.push_back(
            {line.index, m_connection.errorOf(result), QString::fromLatin1(result.sqlState())});
    }
    reportHeld(std::numeric_limits<qint64>::max());
    dropGroup();
}

// A stop was taken inside a statement: the connection is given up, the server rolls the group
// back, and its lines are left unsent and unreported.
void GroupedInsertSender::abandon() {
    m_connection.giveUp();
    m_stopped = true;
    m_transaction.end();
    m_commitInFlight = m_rollBackFirst = false;
    m_acceptedInGroup = 0;
    dropGroup();
}

void GroupedInsertSender::dropGroup() {
    m_group.clear();
    m_held.clear();
    m_groupBytes = 0;
    m_next = 0;
}

std::optional<LostConnection> GroupedInsertSender::lostConnection() const {
    if (!m_lost)
        return std::nullopt;
    LostConnection lost;
    for (const Line& line : m_group)
        lost.notCommitted.push_back(line.index);
    lost.notCommitted.insert(lost.notCommitted.end(), m_afterLoss.begin(), m_afterLoss.end());
    lost.markersLeft = m_transaction.markersLeft();
    if (m_unanswered >= 0)
        lost.unanswered = {m_unanswered, m_unanswered};
    if (!m_commitInFlight || !m_transaction.open() || m_group.empty())
        return lost;
    // Should the group have committed, every line of it went in but those rejected.
    ChunkInDoubt group = m_transaction.inDoubt();
    group.firstLine = m_group.front().index;
    group.lastLine = m_group.back().index;
    group.lineAfter = group.lastLine + 1;
    std::vector<LineRejection> held = m_held;
    std::stable_sort(held.begin(), held.end(), [](const LineRejection& a, const LineRejection& b) {
        return a.line < b.line;
    });
    group.rowsAccepted = qint64(m_group.size() - held.size());
    for (const LineRejection& rejection : held) {
        const bool local = std::any_of(m_group.begin(), m_group.end(), [&](const Line& line) {
            return line.index == rejection.line && line.statement.isEmpty();
        });
        group.rejections.push_back(
            {rejection.line, rejection.description, local, rejection.sqlState});
    }
    lost.chunkInDoubt = std::move(group);
    return lost;
}
