#include "database/ConnectionSettings.h"

#include "shell/Settings.h"

ConnectionSettings ConnectionSettings::fromStore() {
    return {ReadSetting(SettingKeys::PostgreSQLServer), ReadSetting(SettingKeys::PostgreSQLPort),
            ReadSetting(SettingKeys::PostgreSQLUser), ReadSetting(SettingKeys::PostgreSQLPassword),
            ReadSetting(SettingKeys::PostgreSQLDatabase)};
}

QString ConnectionString(const ConnectionSettings& settings) {
    return QStringLiteral("Driver={PostgreSQL Unicode};Server=") + settings.server +
           QStringLiteral(";Port=") + settings.port + QStringLiteral(";Uid=") + settings.user +
           QStringLiteral(";Pwd=") + settings.password + QStringLiteral(";Database=") +
           settings.database;
}
