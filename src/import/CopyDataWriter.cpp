#include "import/CopyDataWriter.h"

#include <libpq-fe.h>

#include <algorithm>

bool CopyDataWriter::put(PGconn* conn, const char* data, qsizetype size) {
    for (qsizetype at = 0; at < size; at += MessageBytes) {
        const int bytes = static_cast<int>(std::min(MessageBytes, size - at));
        if (PQputCopyData(conn, data + at, bytes) != 1)
            return false;
    }
    return true;
}
