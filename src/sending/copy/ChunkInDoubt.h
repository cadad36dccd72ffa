#pragma once

#include <QByteArray>
#include <QtGlobal>

// A chunk whose COMMIT went out and whose answer was lost with the connection: what it takes to
// learn over a new connection whether it committed (Reconnector::settle()).
struct ChunkInDoubt {
    qint64 xid = 0;     // txid_current() of its transaction, epoch included
    int backendPid = 0; // the backend that ran it, which may still hold it open
    quint32 marker = 0; // its ChunkMarker's oid; 0 when the chunk could make none
    QByteArray token;   // the marker's bytes
};

// What the server's evidence says of a chunk in doubt.
enum class ChunkFate {
    Committed,
    NotCommitted,
    Unknown, // no marker to look for: the user is told that its lines may or may not be in
};
