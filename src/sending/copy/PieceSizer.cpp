#include "sending/copy/PieceSizer.h"

#include <algorithm>
#include <cmath>

PieceSizer::PieceSizer(qsizetype chunkLines, qsizetype minLines, qsizetype maxLines,
                       double switchCost)
    : m_window(4.0 * static_cast<double>(chunkLines))
    , m_minLines(minLines)
    , m_maxLines(maxLines)
    , m_switchCost(switchCost)
    , m_limit(maxLines) {}

void PieceSizer::settled(qsizetype lines, qsizetype rejected) {
    m_recentLines += static_cast<double>(lines);
    m_recentRejected += static_cast<double>(rejected);
    while (m_recentLines > m_window) {
        m_recentLines /= 2;
        m_recentRejected /= 2;
    }
    if (m_recentRejected <= 0 || m_recentLines <= 0) {
        m_limit = m_maxLines;
        return;
    }
    const double share = m_recentRejected / m_recentLines;
    const double best = std::sqrt(2 * m_switchCost / share);
    m_limit = std::clamp(static_cast<qsizetype>(best), m_minLines, m_maxLines);
}
