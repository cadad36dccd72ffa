#pragma once

#include <QStringList>

class Connection;

// The names of a table's columns in table order, read from the server's catalogue, which any
// role may read: a role that may only insert into the table learns them as well as its owner.
// The table is named as the list of existing tables names it (tableReference()).
//
// A table the catalogue does not find (a name no table holds, a schema the role may not use)
// is asked for once more as a query of its rows, so that the server's own message is thrown.
// Throws DatabaseError with the server's message when a query fails.
QStringList readTableColumns(Connection& connection, const QString& table);
