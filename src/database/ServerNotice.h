#pragma once

#include <QString>

// A notice or warning the server sent over a connection outside any answer to a statement: a
// trigger's RAISE NOTICE, a warning before the server ends the connection, the last words of a
// backend that was ended while the connection was idle.
struct ServerNotice {
    QString text;       // as libpq words it ("WARNING:  ..."), without the final line break
    QString sqlState;   // the five-character SQLSTATE, or empty when the server sent none
    bool error = false; // of severity ERROR, FATAL or PANIC (errorOutsideAnAnswer())

    // Whether it announces that the connection ends: SQLSTATE class 57 (operator
    // intervention: the backend was ended, the server shuts down or crashed) or class 08 (a
    // connection exception).
    bool endsConnection() const {
        return sqlState.startsWith(QLatin1String("57")) || sqlState.startsWith(QLatin1String("08"));
    }
    // Whether libpq wrote it itself, not the server (which always gives a notice its
    // SQLSTATE): its remarks on what arrives after a connection went wrong ("message type 0x31
    // arrived from server while idle"), which the run answers as it answers the failure.
    bool fromLibpq() const { return sqlState.isEmpty(); }
    // Whether it is an error that libpq could not hand to a statement and passed on as a notice:
    // a statement's error that arrived after the connection broke, or a backend's last words
    // for another reason than those of classes 57 and 08 (an idle-in-transaction timeout). The
    // run answers the lost connection; the lines whose answers were lost are named.
    bool errorOutsideAnAnswer() const { return error && !endsConnection(); }
};
