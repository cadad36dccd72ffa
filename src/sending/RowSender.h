#pragma once

#include "sending/LineRejection.h"
#include "sending/LostConnection.h"
#include "sending/TableRefusal.h"

#include <QString>
#include <functional>
#include <optional>

struct Record;

// Sends the data records of one file into one table over an open connection.
//
// Records arrive in file order as a RecordReader hands them over, each of at least two fields
// (a record spanning several lines of the file is named by the index of its first). Each goes
// in on its own: a record the server rejects is reported through the callback with the server's
// own message, in line order, and the records around it are still sent. A sender may hold
// records back and send them in groups; finish() sends the rest and returns once every answer
// is in. Never throws for a failure of the server or the connection. Used from one thread.
class RowSender {
public:
    using Rejected = std::function<void(const LineRejection& rejection)>;

    virtual ~RowSender() = default;
    virtual void send(const Record& record) = 0;
    virtual void finish() = 0;
    // Rows the server has accepted so far (committed, on senders that gather rows in
    // transactions).
    virtual qint64 rowsAccepted() const = 0;

    // Once the connection broke (not by a stop), what it left behind; the sender then takes no
    // more records and reports nothing more, and is only asked this and discarded. No value
    // while the connection serves.
    virtual std::optional<LostConnection> lostConnection() const = 0;

    // Once the server refused the table (TableRefusal), what it refused: the sender then takes
    // no more records and reports no rejection of its own from the refused line on; finish()
    // still commits and reports what came before it, and only then is notSent final.
    virtual std::optional<TableRefusal> refusal() const { return std::nullopt; }

    // Whether the sender still takes records: neither lost its connection nor was refused the
    // table. Asked after every record, so a sender may answer it without building either.
    virtual bool taking() const { return !lostConnection() && !refusal(); }

    // Whether the table takes COPY for the file's lines (a file of few lines may still go as
    // one group of row statements, which costs fewer round trips).
    virtual bool byCopy() const { return false; }
};
