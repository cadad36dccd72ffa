#pragma once

#include "sending/RowSender.h"

#include <QString>
#include <functional>
#include <memory>

class Connection;
enum class FieldRule;

// The sender for one file's data lines into one table: one INSERT statement per line when
// rowByRow, otherwise COPY where the table allows it. The path
// names the file in the descriptions of lines rejected before they reach the server. When
// stopRequested answers true, a sender that gathers lines commits what it has sent at its next
// statement boundary and takes no more lines, instead of sending everything it holds; it is
// asked on the sender's own thread.
std::unique_ptr<RowSender> makeRowSender(Connection& connection, const QString& table,
                                         const QString& path, FieldRule rule, bool rowByRow,
                                         RowSender::Rejected rejected,
                                         std::function<bool()> stopRequested = {});
