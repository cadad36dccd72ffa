#pragma once

#include "sending/copy/ChunkInDoubt.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// What a connection that broke left behind in a sender, for whoever goes on over a new one
// (ResumingSender): which lines are not known to be in, and what is to be settled about them.
struct LostConnection {
    // Every line handed over that is neither known committed nor reported, in line order. The
    // lines below may be among them.
    std::vector<qint64> notCommitted;
    // A chunk whose COMMIT went out and whose answer was lost: its fate is to be learnt.
    std::optional<ChunkInDoubt> chunkInDoubt;
    // Lines sent, each its own transaction, whose answers were lost: whether they went in is
    // not known. {-1, -1} when none.
    std::pair<qint64, qint64> unanswered{-1, -1};
    // Markers (ChunkMarker) of chunks known committed, still to be removed.
    QList<quint32> markersLeft;
};
