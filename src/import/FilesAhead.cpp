#include "import/FilesAhead.h"

void FilesAhead::start(int position, const QString& path, FileReadAhead::Sending sending) {
    std::shared_ptr<AheadGate> before = m_slots.empty() ? m_turn : m_slots.back().reading->gate();
    auto reading = std::make_unique<FileReadAhead>(m_reading);
    reading->start(path, std::move(sending), std::move(before));
    m_slots.push_back(Slot{position, std::move(reading)});
}

std::optional<FileReadAhead::Ready> FilesAhead::take(int position, const QString& path,
                                                     const std::function<bool()>& stopped) {
    m_turn->open();
    while (!m_slots.empty() && m_slots.front().position < position) { // their turns are over
        m_slots.front().reading->gate()->open();
        m_slots.front().reading->stop();
        m_slots.pop_front();
    }
    if (m_slots.empty() || m_slots.front().position != position) {
        m_turn = std::make_shared<AheadGate>();
        return std::nullopt;
    }
    std::unique_ptr<FileReadAhead> reading = std::move(m_slots.front().reading);
    m_slots.pop_front();
    m_turn = reading->gate();
    return reading->take(path, stopped);
}

bool FilesAhead::sentAhead(int position, const QString& path) {
    return !m_slots.empty() && m_slots.front().position == position &&
           m_slots.front().reading->sentAhead(path);
}

void FilesAhead::stop() {
    for (Slot& slot : m_slots)
        slot.reading->stop();
    m_slots.clear();
}

qint64 FilesAhead::rowsSentAhead() const {
    qint64 rows = 0;
    for (const Slot& slot : m_slots)
        rows += slot.reading->rowsSentAhead();
    return rows;
}
