#pragma once

#include "sending/ColumnTargets.h"
#include "sending/RowSender.h"
#include "sending/copy/CopyTarget.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class Connection;
enum class FieldRule;

// What a file's records go into and how: the choice between COPY and one INSERT per line is
// made here, once, for the table and the number of values of the file's lines.
struct SenderChoice {
    QString table;        // as the list of existing tables names it (tableReference())
    QString path;         // names the file in the descriptions of lines rejected before they
                          // reach the server
    FieldRule rule;       // how fields become values
    QByteArray separator; // UTF-8; cuts the records that come as bytes
    // One INSERT statement per line, each its own transaction, even where COPY or groups of
    // lines (GroupedInsertSender) could go.
    bool rowByRow = false;
    // Asked on the sender's thread: when it answers true, a sender that gathers lines commits
    // what it has sent at its next statement boundary and takes no more lines, instead of
    // sending everything it holds.
    std::function<bool()> stopRequested;
    ColumnTargets targets{}; // the columns the values go into; by position when empty
    // Markers of committed chunks not yet removed, kept over the connection from one sender to
    // the next (CopySender::Options::markersLeft); null when each sender removes its own.
    QList<quint32>* markersLeft = nullptr;
    // Called on the sender's thread after each chunk of a COPY commits (the progress), also
    // while finish() waits for the last ones; none when empty.
    std::function<void()> committed = {};
    // The COPY target the catalogue already gave for the table and the file's values
    // (rangesTarget()): the senders made for this choice take it instead of asking again (a
    // round trip of three queries) over every connection of the file. Null: asked.
    std::shared_ptr<const CopyTarget> foundTarget = {};
};

// The sender for records of valueCount values: a CopySender where the table allows COPY for
// them (CopyTarget), for a file longer than one group (SmallFileSender); otherwise a
// GroupedInsertSender where the table suits it; otherwise an InsertSender. Asks the server's
// catalogue over the connection.
std::unique_ptr<RowSender> makeRowSender(Connection& connection, const SenderChoice& choice,
                                         qsizetype valueCount, RowSender::Rejected rejected);

// Where a file's records of valueCount values may go into the table in ranges over several
// connections at once with the outcome of one connection, the COPY target they go to: where
// COPY is chosen (not row by row) and the rows may go in any order (CopyTarget::orderFree).
// Asks the server's catalogue; null when it can't, or they may not.
std::shared_ptr<const CopyTarget> rangesTarget(Connection& connection, const SenderChoice& choice,
                                               qsizetype valueCount);
