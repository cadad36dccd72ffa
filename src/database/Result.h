#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

struct pg_result;
using PGresult = pg_result;

// The rows and columns of one query. Owns its PGresult.
class Result {
public:
    explicit Result(PGresult* result);

    int rowCount() const;
    int fieldCount() const;
    // The value at a row and column as text; NULL reads as the empty text.
    QString value(int row, int column) const;
    bool isNull(int row, int column) const;
    // Whether the statement succeeded (no result at all counts as a failure).
    bool succeeded() const;
    // Whether the server waits for COPY data.
    bool isCopyIn() const;
    // The command tag ("COMMIT", "ROLLBACK", "INSERT 0 1", ...).
    QString commandTag() const;
    // The context lines of the server's error ("COPY t, line 12: ..."), empty without one.
    QByteArray errorContext() const;
    // The server's SQLSTATE of a failed statement ("42501"), empty when there is none (success,
    // or a failure of libpq's own).
    QByteArray sqlState() const;
    // The server's primary error message, without severity, detail or context; empty without.
    QString primaryMessage() const;
    // The server's own function that raised the error ("aclcheck_error"), empty without one.
    QByteArray sourceFunction() const;

    PGresult* get() const { return m_result.get(); }

private:
    struct Clear {
        void operator()(PGresult* result) const;
    };
    std::unique_ptr<PGresult, Clear> m_result;
};
