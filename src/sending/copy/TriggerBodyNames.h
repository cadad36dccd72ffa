#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The names a PL/pgSQL trigger function's body uses, where the body is known to give every row
// the same outcome whether the row comes by COPY or by its own INSERT: it reads and assigns
// NEW's fields, branches, returns and raises errors, with the built-in functions, types and
// operators listed in TriggerBodyNames.cpp and nothing else: no statement (no INSERT into
// another table, no SELECT, PERFORM or EXECUTE), no sequence, no notice (RAISE NOTICE and the
// like reach the user once per attempt, and COPY may try a line more than once), no variable.
// A body that uses anything else, or that the scan can't read (a dollar quote, an E'' string,
// an unclosed comment), is not known: the answer is nothing.
//
// The names are resolved by the server along the search path; the caller checks that none of
// them names a function or operator outside pg_catalog, which could be chosen instead.
struct TriggerBodyNames {
    QStringList words;     // the words used (lower case), other than NEW's field names
    QStringList operators; // the operators used

    static std::optional<TriggerBodyNames> scan(QStringView body);
};
