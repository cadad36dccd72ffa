#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <functional>
#include <optional>

class Result;

class Connection;

// One COPY ... FROM STDIN statement over a connection, from its start to its answer: begin
// (with the statements that must come before it, in one round trip), write the data, end it,
// and collect the answer. The transaction around it belongs to the caller. Never throws; a
// failure shows in the answer.
class CopyStream {
public:
    // The table's name, unquoted as the server's error context writes it (UTF-8), for reading
    // the line its error names.
    CopyStream(Connection& connection, QByteArray copyStatement, QByteArray table);

    // Sends the statements given, then the COPY, in one round trip; true once the server waits
    // for data. Data is then taken from a buffer (feed()) from the offset given on. Every
    // answer to the statements before the COPY is handed to seen, in order.
    bool begin(const QByteArray& before, qsizetype from = 0,
               const std::function<void(const Result&)>& seen = {});
    // Hands data to libpq, waiting while the socket is full; false when not all of it could be
    // handed over (the answer then carries the error).
    bool write(QByteArrayView data);
    // Hands the buffer's bytes from where the last feed ended up to upTo, once there are enough
    // of them to be worth a message (or, with all, whatever there is).
    void feed(QByteArrayView buffer, qsizetype upTo, bool all);
    // The buffer lost its first bytes: the offset feed() goes on from moves back as much.
    void shift(qsizetype bytes) { m_fed = std::max<qsizetype>(0, m_fed - bytes); }
    // Ends the data; with an error text the COPY is given up. False on failure.
    bool end(const char* error = nullptr);
    // Whether the answer to an ended COPY is in, so that collect() won't block.
    bool answerReady();
    // Reads the answer to an ended COPY: true when the server took every line of it (and all of
    // it was handed over).
    bool collect();
    // The line of the last COPY collected (counted from 1 in its data) that the server's error
    // names, 0 when it names none.
    qsizetype failedLine() const { return m_failedLine; }
    // The server's words when the last COPY begun failed with an answer that refuses the table
    // (TableRefusal), whether as it began or at its end.
    const std::optional<QString>& refusal() const { return m_refusal; }

private:
    qsizetype lineNamedIn(const QByteArray& context) const;
    void noteFailure(const Result& result);

    Connection& m_connection;
    QByteArray m_statement;
    QByteArray m_contextPrefix; // "COPY <table>, " as the server's error context begins
    qsizetype m_failedLine = 0;
    std::optional<QString> m_refusal;
    qsizetype m_fed = 0;   // offset of the buffer up to which feed() handed bytes over
    bool m_failed = false; // some data could not be handed over, or the COPY did not begin
};
