#include "import/IntervalCheck.h"

#include <algorithm>

bool IntervalCheck::readClock() {
    const qint64 now = m_since.elapsed();
    // Lines that took more than a tenth of the interval between two readings are read one by
    // one; quicker ones twice as seldom as before.
    m_every = now - m_lookedAt > m_intervalMs / 10 ? 1 : std::min(2 * m_every, MostLines);
    m_lookedAt = now;
    m_lines = 0;
    m_bytes = 0;
    return now >= m_intervalMs;
}

void IntervalCheck::restart() {
    m_since.start();
    m_running = true;
    m_lookedAt = 0;
    m_lines = 0;
    m_bytes = 0;
}
