#pragma once

#include "database/ConnectionSettings.h"

class TableList;

// Whether a connection with these settings can be opened. Shows nothing; every failure
// answers false.
bool CanConnect(const ConnectionSettings& settings);

// Appends the name of every table of the database (the server's pg_tables, system catalogue
// tables included, without schema) to the list, in the server's order. Does not clear the
// list. Throws DatabaseError when the connection or the query fails. Lets the thread's pending
// events be handled before each row.
void ListDatabaseTables(const ConnectionSettings& settings, TableList& list);
