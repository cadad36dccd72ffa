#pragma once

#include <QString>

// The five connection values, plain strings exactly as typed. The port is text too.
struct ConnectionSettings {
    QString server;
    QString port;
    QString user;
    QString password;
    QString database;

    // The values kept in the settings store, with the defaults of keys never written.
    static ConnectionSettings fromStore();

    bool operator==(const ConnectionSettings&) const = default;
};

// The driver-connect string: Driver={PostgreSQL Unicode};Server=...;Port=...;Uid=...;Pwd=...;
// Database=..., values verbatim (not trimmed, quoted or escaped), no semicolon at the end.
// For showing the settings only: connections are opened from the five values themselves
// (Connection::open), as a value holding ";" or "=" would make this string ambiguous.
QString ConnectionString(const ConnectionSettings& settings);
