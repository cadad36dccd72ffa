#pragma once

#include "sending/copy/PendingRejections.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <utility>
#include <vector>

// A chunk whose COMMIT went out and whose answer was lost with the connection: what it takes to
// learn over a new connection whether it committed (Reconnector::settle()), and what follows
// from each answer.
struct ChunkInDoubt {
    qint64 xid = 0;     // txid_current() of its transaction, epoch included; 0 when unknown
    int backendPid = 0; // the backend that ran it, which may still hold it open
    quint32 marker = 0; // its ChunkMarker's oid; 0 when the chunk could make none
    QByteArray token;   // the marker's bytes

    qint64 firstLine = 0; // its first and last line sent
    qint64 lastLine = 0;
    qint64 lineAfter = 0;    // the first line after it; the largest qint64 when none follows
    qint64 rowsAccepted = 0; // rows the server took in it
    // Its rejected lines, in line order, to be reported should it have committed.
    std::vector<PendingRejections::Entry> rejections;
};

// What the server's evidence says of a chunk in doubt.
enum class ChunkFate {
    Committed,
    NotCommitted,
    Unknown, // no marker to look for: the user is told that its lines may or may not be in
};
