#pragma once

#include "import/RowSender.h"

#include <QString>
#include <memory>

class Connection;
struct ImportChoices;

// The sender for one file's data lines into one table, chosen by the run's choices. The path
// names the file in the descriptions of lines rejected before they reach the server.
std::unique_ptr<RowSender> makeRowSender(Connection& connection, const QString& table,
                                         const QString& path, const ImportChoices& choices,
                                         RowSender::Rejected rejected);
