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
QString ConnectionString(const ConnectionSettings& settings);
