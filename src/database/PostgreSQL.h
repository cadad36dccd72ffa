#pragma once

#include "database/ConnectionSettings.h"

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
