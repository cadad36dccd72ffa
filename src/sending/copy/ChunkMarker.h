#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The durable evidence that a chunk committed: a large object of 16 random bytes that the
// chunk's own transaction creates. It exists after a crash exactly when the transaction's
// COMMIT reached the disk, and no other transaction can have made it: a server that crashed may
// hand the chunk's transaction id out again, but not its random bytes. Large objects live in
// the system catalogue, not in any table of the user's, and any role may create them.
//
// A chunk's marker is removed by a later transaction once the chunk is known to have
// committed (the next chunk's, the next file's first chunk's, or a statement of its own at the
// end of the file or the run). One left behind (the program was killed, the server never came
// back) is a large object of 16 bytes owned by the user, which `SELECT lo_unlink(oid)` removes.
class ChunkMarker {
public:
    // New random bytes for a chunk.
    static QByteArray newToken();

    // A random oid for a new marker, among those of no built-in object. Chosen here, the oid
    // is known even when the answer to the marker's creation is lost; one that another large
    // object already has fails the creation.
    static quint32 newOid();
    // A select-list item that creates the marker of that oid and yields it.
    static QByteArray creation(const QByteArray& token, quint32 oid);

    // A select-list item that removes the markers of this role among those given (those
    // already gone are passed over), or the empty text when none is given.
    static QByteArray removal(const QList<quint32>& markers);
    // A transaction of its own that removes them (removal()) without waiting for the disk: a
    // removal that a crash undoes leaves a marker behind, which is true evidence still.
    static QByteArray removalTransaction(const QList<quint32>& markers);

    // A query of one value, "t" when the marker with these bytes exists and belongs to this
    // role, otherwise "f".
    static QString lookup(quint32 marker, const QByteArray& token);
};
