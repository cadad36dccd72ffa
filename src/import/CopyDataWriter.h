#pragma once

#include <QtGlobal>

struct pg_conn;
using PGconn = pg_conn;

// Hands COPY data to libpq in messages of at most MessageBytes, so that libpq's output buffer,
// which holds a whole message, stays small however long a line is.
class CopyDataWriter {
public:
    static constexpr qsizetype MessageBytes = 64 << 10;

    // Whether libpq took all of it; on false the COPY's answer carries the error.
    static bool put(PGconn* conn, const char* data, qsizetype size);
};
