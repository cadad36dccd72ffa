#include "shell/Settings.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

int mode(const QString& file) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0) << file.toStdString();
    return info.st_mode & 07777;
}

} // namespace

TEST(Settings, FreshStoreGivesEveryKeysDefault) {
    TemporarySettings store;
    const std::pair<SettingKey, const char*> cases[] = {
        {SettingKeys::PostgreSQLServer, "localhost"},
        {SettingKeys::PostgreSQLPort, "5432"},
        {SettingKeys::PostgreSQLUser, ""},
        {SettingKeys::PostgreSQLPassword, ""},
        {SettingKeys::PostgreSQLDatabase, ""},
        {SettingKeys::Extension, "txt"},
        {SettingKeys::LastFolder, ""},
        {SettingKeys::ShowAgain, "0"},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ReadSetting(key), QString::fromLatin1(expected)) << key.name;
    EXPECT_EQ(ReadSetting(QStringLiteral("NeverWritten")), QString());
    EXPECT_FALSE(QFile::exists(settings::storeFile())) << "reading must not create the store";
}

TEST(Settings, ValuesSurviveExactlyUnderTheApplicationAndSection) {
    TemporarySettings store;
    const QString awkward = QStringLiteral("  pa;ss=wörd \"x\" [y] \\z  ");
    WriteSetting(SettingKeys::PostgreSQLPassword, awkward);
    WriteSetting(SettingKeys::PostgreSQLServer, QString());
    EXPECT_EQ(ReadSetting(SettingKeys::PostgreSQLPassword), awkward);
    EXPECT_EQ(ReadSetting(SettingKeys::PostgreSQLServer), QString())
        << "an emptied value is stored, not replaced by the default";

    EXPECT_TRUE(settings::storeFile().endsWith(QStringLiteral("/Vantrell/Vantrell.ini")));
    QFile file(settings::storeFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Quenmarl]")) << text.toStdString();
    EXPECT_TRUE(text.contains("PostgreSQLPassword=")) << text.toStdString();
}

TEST(Settings, StoreIsReadableByItsOwnerOnly) {
    TemporarySettings store;
    WriteSetting(SettingKeys::PostgreSQLPassword, QStringLiteral("secret"));
    EXPECT_EQ(mode(settings::storeFile()), 0600);

    // A store that was left readable by others is put back to owner-only at the next write.
    ASSERT_EQ(::chmod(QFile::encodeName(settings::storeFile()).constData(), 0644), 0);
    WriteSetting(SettingKeys::PostgreSQLUser, QStringLiteral("ann"));
    EXPECT_EQ(mode(settings::storeFile()), 0600);
    EXPECT_EQ(ReadSetting(SettingKeys::PostgreSQLPassword), QStringLiteral("secret"));
    EXPECT_EQ(ReadSetting(SettingKeys::PostgreSQLUser), QStringLiteral("ann"));
}
