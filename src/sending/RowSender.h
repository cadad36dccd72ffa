#pragma once

#include "sending/copy/ChunkInDoubt.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class Connection;
struct Record;
enum class FieldRule;

// Sends the data lines of one file into one table over an open connection.
//
// Lines arrive in file order, already split into fields (at least two) as the file's field
// rule gives them (FieldRule.h: under the plain rule raw, quotes not yet removed; under the
// quoted rule the values themselves); a line spanning several lines of the file is named by
// the index of its first. Each line goes in on its own: a line the server rejects is
// reported through the callback with the server's own message, in line order, and the lines
// around it are still sent. A sender may hold lines back and send them in groups; finish()
// sends the rest and returns once every answer is in.
class RowSender {
public:
    // A rejected line: its index in the file (line 0 is the first line) and the description
    // to report.
    using Rejected = std::function<void(qint64 lineIndex, const QString& description)>;

    virtual ~RowSender() = default;
    virtual void send(qint64 lineIndex, const QStringList& fields) = 0;
    // A line under the plain rule as its bytes, valid UTF-8 without carriage returns, of
    // fieldCount fields (at least two) cut at every separator (UTF-8 bytes). Goes in exactly as
    // send() with the fields of its text; by default it is cut into those and sent so. Under
    // the quoted rule (senders that know their rule): a line of ASCII bytes that is a whole
    // record by itself, carriage returns still in it, for a separator of one byte; it goes in as
    // send() with the values QuotedFieldParser gives (valuesFromBytes).
    virtual void sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                          qsizetype fieldCount);
    // A record as a RecordReader hands it over: by sendUtf8() when it came as bytes, otherwise
    // by send().
    void sendRecord(const Record& record, QByteArrayView separator);
    virtual void finish() = 0;
    // Rows the server has accepted so far.
    virtual qint64 rowsAccepted() const = 0;

    // After the connection broke (not by a stop): the sender takes no more lines, reports no
    // line still unsettled, and can only be asked what follows and then discarded.
    virtual bool connectionLost() const { return false; }
    // The index of the first line handed over that is not known committed (every line before
    // it is committed or reported); the largest qint64 when there is none.
    virtual qint64 firstUncommitted() const = 0;
    // Once lost: a chunk whose COMMIT went out unanswered, whose fate is to be learnt.
    virtual std::optional<ChunkInDoubt> inDoubt() const { return std::nullopt; }
    // Once lost: markers (ChunkMarker) of committed chunks that are still to be removed.
    virtual QList<quint32> markersLeft() const { return {}; }
    // Once lost: that transaction committed (its lines count and its rejections are reported)
    // or not.
    virtual void settleInDoubt(bool committed) { Q_UNUSED(committed); }
    // Once lost: the first and last index of lines that were sent, each its own transaction,
    // whose answers were lost, so that whether they went in is not known; {-1, -1} when none.
    virtual std::pair<qint64, qint64> unanswered() const { return {-1, -1}; }
};
