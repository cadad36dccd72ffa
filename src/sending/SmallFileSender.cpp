#include "sending/SmallFileSender.h"

SmallFileSender::SmallFileSender(qsizetype holdLines, Make copy, Make grouped)
    : m_holdLines(holdLines)
    , m_copy(std::move(copy))
    , m_grouped(std::move(grouped)) {}

void SmallFileSender::send(const Record& record) {
    if (m_sender && m_notHanded.empty())
        return m_sender->send(record);
    if (!m_sender && qsizetype(m_held.size()) < m_holdLines) {
        Held held{record, record.bytes.isNull() ? QByteArray() : record.bytes.toByteArray()};
        held.record.cut = nullptr; // the reader's, of the line it reads now: cut again
        m_held.push_back(std::move(held));
        return;
    }
    if (!m_sender)
        hand(m_copy); // more lines than a group: by COPY
    if (m_notHanded.empty() && taking())
        m_sender->send(record);
    else
        m_notHanded.push_back(record.line);
}

void SmallFileSender::finish() {
    if (!m_sender)
        hand(m_grouped);
    m_sender->finish(); // a sender that lost the connection sends nothing more
}

// Makes the sender and hands it the lines held back, until it loses the connection or refuses
// the table.
void SmallFileSender::hand(Make& make) {
    m_sender = make();
    for (Held& held : m_held) {
        if (!m_notHanded.empty() || !taking()) {
            m_notHanded.push_back(held.record.line);
            continue;
        }
        if (!held.record.bytes.isNull())
            held.record.bytes = QByteArrayView(held.bytes);
        m_sender->send(held.record);
    }
    m_held.clear();
}

std::optional<LostConnection> SmallFileSender::lostConnection() const {
    std::optional<LostConnection> lost = m_sender ? m_sender->lostConnection() : std::nullopt;
    if (lost)
        lost->notCommitted.insert(lost->notCommitted.end(), m_notHanded.begin(), m_notHanded.end());
    return lost;
}

std::optional<TableRefusal> SmallFileSender::refusal() const {
    std::optional<TableRefusal> refused = m_sender ? m_sender->refusal() : std::nullopt;
    if (refused)
        refused->notSent += qint64(m_notHanded.size());
    return refused;
}
