#pragma once

#include <QString>

class Connection;

// Whether rows go into the table with the same outcome whatever order they arrive in, so that
// ranges of one file may be sent side by side over several connections: no table of its
// partition tree has a unique index or an exclusion constraint. With one, which of two equal
// keys is rejected would depend on which connection's chunk commits first, where the run over
// one connection always rejects the later line. (What else depends on the order of rows, a
// sequence's draws, a foreign key into the tree, a trigger that runs statements, already keeps
// the table off COPY, and only COPY goes in ranges.) Asks the catalogue; false when it can't.
bool rowsMayGoInAnyOrder(Connection& connection, const QString& table);
