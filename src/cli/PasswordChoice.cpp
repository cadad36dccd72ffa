#include "cli/PasswordChoice.h"

PasswordChoice choosePassword(const PasswordSources& sources) {
    if (sources.given)
        return {*sources.given, QString()};
    if (!sources.environment.isEmpty())
        return {};
    const ConnectionSettings& stored = sources.stored;
    const ConnectionSettings& target = sources.target;
    if (stored.password.isEmpty() || target.server != stored.server || target.port != stored.port ||
        target.user != stored.user)
        return {};
    if (sources.storeOpenToOthers)
        return {QString(), QStringLiteral("quenmarl-cli: warning: the settings file %1 can be "
                                          "read or written by other users, so its password is "
                                          "not used; make it private with: chmod 600 %1")
                               .arg(sources.storeFile)};
    return {stored.password, QString()};
}
