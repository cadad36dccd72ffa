#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

class Result;

// The server's answer that belongs to the table or the connection, not to the row: every later
// row of the file would get the same answer, so the file's rows end at the first one. The
// SQLSTATEs so read, each provoked against a real server by the tests:
//   42501 insufficient_privilege   (no INSERT privilege on the table), but not when raised by
//         the row checks (ExecWithCheckOptions): a row that a row-level security policy
//         refuses is that row's own
//   25006 read_only_sql_transaction (a read-only database or role)
//   42P01 undefined_table           (the table dropped by another session meanwhile)
// Every other answer stays the row's: a value (22xxx) or a constraint (23xxx) is always a
// row's own; a lost connection (08xxx, 57P01-57P03) is gone on from over a new one
// (ResumingSender); 57014 query_canceled is what a stop gets, and what a statement timeout gets
// for one row that takes too long.
struct TableRefusal {
    qint64 line = -1;   // index of the first refused line in the file
    QString words;      // the server's primary message
    qint64 notSent = 0; // lines handed over from that one on that did not go in

    // The SQLSTATE and the server's function that raised the error (Result::sourceFunction()).
    static bool belongsToTable(QByteArrayView sqlState, QByteArrayView source);
    // The server's words when the failed result refused the table; nothing otherwise.
    static std::optional<QString> wordsOf(const Result& result);
};
