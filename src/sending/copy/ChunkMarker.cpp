#include "sending/copy/ChunkMarker.h"

#include <QRandomGenerator>
#include <QStringList>

#include <array>

namespace {

constexpr int TokenBytes = 16;

// The bytes as a bytea literal ('\x...'), which standard_conforming_strings (on for every
// connection) keeps as written.
QByteArray byteaLiteral(const QByteArray& bytes) {
    return "'\\x" + bytes.toHex() + "'::bytea";
}

// The oid of the connection's role, to tell our markers from another role's.
const char* const OwnRole = "(SELECT oid FROM pg_roles WHERE rolname = current_user)";

} // namespace

QByteArray ChunkMarker::newToken() {
    std::array<quint32, TokenBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.data()), TokenBytes);
}

quint32 ChunkMarker::newOid() {
    constexpr quint32 FirstNormalOid = 16384;
    return FirstNormalOid + QRandomGenerator::system()->bounded(quint32(0) - FirstNormalOid);
}

QByteArray ChunkMarker::creation(const QByteArray& token, quint32 oid) {
    return "lo_from_bytea(" + QByteArray::number(oid) + ", " + byteaLiteral(token) + ")";
}

QByteArray ChunkMarker::removal(const QList<quint32>& markers) {
    if (markers.isEmpty())
        return {};
    QByteArrayList oids;
    for (const quint32 marker : markers)
        oids.append(QByteArray::number(marker));
    return "(SELECT count(lo_unlink(m.oid)) FROM pg_largeobject_metadata m WHERE m.oid IN (" +
           oids.join(',') + ") AND m.lomowner = " + OwnRole + ")";
}

QByteArray ChunkMarker::removalTransaction(const QList<quint32>& markers) {
    return "BEGIN; SET LOCAL synchronous_commit = off; SELECT " + removal(markers) + "; COMMIT";
}

QString ChunkMarker::lookup(quint32 marker, const QByteArray& token) {
    // The bytes are read only from a marker of this role: another role's large object of the
    // same oid can't be read, and is not ours anyway.
    return QStringLiteral("SELECT COALESCE((SELECT CASE WHEN m.lomowner = %1 THEN lo_get(m.oid) = "
                          "%2 ELSE false END FROM pg_largeobject_metadata m WHERE m.oid = %3), "
                          "false)")
        .arg(QLatin1String(OwnRole), QString::fromLatin1(byteaLiteral(token)),
             QString::number(marker));
}
