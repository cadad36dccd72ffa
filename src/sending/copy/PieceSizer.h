#pragma once

#include <QtGlobal>

// The length of the next COPY statement of a chunk: the longest while no line is rejected;
// otherwise the length that balances the cost of one more statement against the lines sent
// again when one fails (half a statement's worth per rejected line), from the recent share of
// rejections (the last few chunks' worth of lines).
class PieceSizer {
public:
    // switchCost: one more COPY statement, in lines' time.
    PieceSizer(qsizetype chunkLines, qsizetype minLines, qsizetype maxLines, double switchCost);

    qsizetype limit() const { return m_limit; }
    // A statement of that many lines was settled, with that many of them rejected.
    void settled(qsizetype lines, qsizetype rejected);

private:
    double m_window;
    qsizetype m_minLines;
    qsizetype m_maxLines;
    double m_switchCost;
    qsizetype m_limit;
    double m_recentLines = 0;
    double m_recentRejected = 0;
};
