#pragma once

#include "database/ConnectionSettings.h"

#include <QString>
#include <optional>

// The password quenmarl-cli hands to libpq. An empty password is not sent at all, so libpq
// looks in its own places: the PGPASSWORD variable, then its password file (PGPASSFILE or
// ~/.pgpass) for the host, port, database and user. In order:
//  1. --password, when given (given empty: nothing is sent);
//  2. nothing, when PGPASSWORD is set and not empty, so that libpq uses it;
//  3. the stored password, when it is not empty, the run goes to the stored server, port and
//     user (options that name other values would carry it to another server or account), and
//     the settings file is readable and writable by its owner only; a store open to others
//     gives a warning and its password is not used;
//  4. nothing, so that libpq reads its password file.
struct PasswordChoice {
    QString password;
    QString warning; // to print before the run, or empty
};

struct PasswordSources {
    std::optional<QString> given;   // --password
    QString environment;            // PGPASSWORD
    ConnectionSettings stored;      // the settings store
    ConnectionSettings target;      // where the run connects (options over stored values)
    QString storeFile;              // the settings file, for the warning
    bool storeOpenToOthers = false; // its permissions
};

PasswordChoice choosePassword(const PasswordSources& sources);
