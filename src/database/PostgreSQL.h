#pragma once

#include "database/ConnectionSettings.h"

#include <QStringList>

class Connection;
class TableList;

// Whether a connection with these settings can be opened. Shows nothing; every failure
// answers false.
bool CanConnect(const ConnectionSettings& settings);

// Appends the tables the user may insert into (ordinary and partitioned tables, not the
// partitions of one, none of pg_catalog, information_schema or pg_toast), each once, to the
// list: by its bare name where that name reaches it along the search path, otherwise (and for
// a name that holds a dot or begins with a double quote) as SQL writes it, schema first where
// the path would not find it ("sales.orders", "\"Odd Schema\".\"T\""), as tableReference()
// takes it. Sorted by that name, whatever its case, the same on every server. Does not clear the
// list. Throws DatabaseError when the connection or the query fails. Lets the thread's pending
// events be handled before each row.
void ListDatabaseTables(const ConnectionSettings& settings, TableList& list);
// The same over a connection already open, which stays open and unchanged.
void ListDatabaseTables(Connection& connection, TableList& list);

// The position in listed (as ListDatabaseTables() filled it) of the table that name names: the
// entry equal to name, as the list shows it; otherwise the entry of the table that name names
// as SQL names it, which the server's to_regclass() reads (a bare name along the search path,
// a schema-qualified one, each unquoted part folded to lower case, a quoted one kept as it
// is). -1 when name names no listed table or is no name SQL can read. name reaches the server
// only as a value, so it can't be more than a name there. Opens a connection of its own.
// Throws DatabaseError when the connection fails or the server refuses the lookup (a schema
// the role may not use).
int FindListedTable(const ConnectionSettings& settings, const QString& name,
                    const QStringList& listed);
// The same over a connection already open, which stays open and unchanged.
int FindListedTable(Connection& connection, const QString& name, const QStringList& listed);
