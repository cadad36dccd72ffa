#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Says, line by line, when an interval has passed, without reading the clock for every line:
// for a short line, reading it costs more than the rest of the line's turn. The clock is read
// after a number of lines that doubles, up to 64, while the lines go quickly, and after every
// line again as soon as lines take long (a slow server, long lines), so the interval is kept in
// both cases. 64 KiB of lines always make it look.
class IntervalCheck {
public:
    explicit IntervalCheck(qint64 intervalMs)
        : m_intervalMs(intervalMs) {}

    // Counts one line of the given bytes; true when the interval has passed since the last
    // restart (or when there was none). Inline, since most lines only count.
    bool due(qsizetype bytes) {
        if (!m_running)
            return true;
        m_bytes += bytes;
        if (++m_lines < m_every && m_bytes < MostBytes)
            return false;
        return readClock();
    }
    // Whether the interval has passed, the clock read now (for events far apart).
    bool passed() const { return !m_running || m_since.elapsed() >= m_intervalMs; }
    // The interval begins again now.
    void restart();

private:
    static constexpr int MostLines = 64;
    static constexpr qsizetype MostBytes = 1 << 16;

    bool readClock();

    qint64 m_intervalMs;
    bool m_running = false; // restarted at least once
    QElapsedTimer m_since;  // since the last restart
    qint64 m_lookedAt = 0;  // m_since's milliseconds when the clock was last read
    int m_every = 1;        // lines between two readings
    int m_lines = 0;        // lines and bytes since the clock was last read
    qsizetype m_bytes = 0;
};
