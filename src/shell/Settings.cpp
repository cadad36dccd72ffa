#include "shell/Settings.h"

#include "shell/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString ApplicationName = QStringLiteral("Vantrell");
const QString SectionName = QStringLiteral("Quenmarl");

QString& overrideFolder() {
    static QString folder;
    return folder;
}

QString configFolder() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString keyPath(const QString& key) {
    return SectionName + QLatin1Char('/') + key;
}

// Creates the store file with owner-only access before anything is written to it, and puts
// an existing file back to owner-only access, so the password is never readable by others.
void protectStoreFile(const QString& file) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    const QByteArray native = QFile::encodeName(file);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

namespace settings {

void useFolder(const QString& folder) {
    overrideFolder() = folder;
}

QString storeFile() {
    return configFolder() + QLatin1Char('/') + ApplicationName + QLatin1Char('/') +
           ApplicationName + QStringLiteral(".ini");
}

} // namespace settings

QString ReadSetting(const QString& key, const QString& defaultValue) {
    QSettings store(settings::storeFile(), QSettings::IniFormat);
    return store.value(keyPath(key), defaultValue).toString();
}

QString ReadSetting(const SettingKey& key) {
    return ReadSetting(QString::fromLatin1(key.name), QString::fromLatin1(key.defaultValue));
}

void WriteSetting(const QString& key, const QString& value) {
    const QString file = settings::storeFile();
    protectStoreFile(file);
    QSettings store(file, QSettings::IniFormat);
    store.setValue(keyPath(key), value);
    store.sync();
    if (store.status() != QSettings::NoError)
        throw Failure(QStringLiteral("Could not write the setting %1 to %2").arg(key, file));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void WriteSetting(const SettingKey& key, const QString& value) {
    WriteSetting(QString::fromLatin1(key.name), value);
}
