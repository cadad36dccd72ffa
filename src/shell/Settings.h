#pragma once

#include <QString>

// The per-user settings store: text values under the application "Vantrell", section
// "Quenmarl". On Linux an INI file in the user's configuration folder, kept readable and
// writable by its owner only because it holds the database password; on Windows the user's
// registry branch. Every write reaches the store at once.

// A key the program keeps, with the value a reader gets while the key was never written.
struct SettingKey {
    const char* name;
    const char* defaultValue;
};

namespace SettingKeys {
inline constexpr SettingKey PostgreSQLServer{"PostgreSQLServer", "localhost"};
inline constexpr SettingKey PostgreSQLPort{"PostgreSQLPort", "5432"};
inline constexpr SettingKey PostgreSQLUser{"PostgreSQLUser", ""};
inline constexpr SettingKey PostgreSQLPassword{"PostgreSQLPassword", ""};
inline constexpr SettingKey PostgreSQLDatabase{"PostgreSQLDatabase", ""};
inline constexpr SettingKey Extension{"Extension", "txt"};
inline constexpr SettingKey LastFolder{"LastFolder", ""};
// The folder of the last file the main window's list took in (chosen, dropped or scanned), where
// "Add Text File(s)" opens next; empty while no file was ever added.
inline constexpr SettingKey LastFileFolder{"LastFileFolder", ""};
inline constexpr SettingKey ShowAgain{"ShowAgain", "0"};
// "1" when the main window reads fields in double quotes as CSV does, "0" otherwise.
inline constexpr SettingKey QuotedFields{"QuotedFields", "0"};
// "0" when the main window appends each file's first line as a row too (files without a header
// line); otherwise, and while never written, that line is a header and no row.
inline constexpr SettingKey IgnoreFirstLine{"IgnoreFirstLine", "1"};
// "1" when the main window appends each file's fields to the columns its first line names.
inline constexpr SettingKey MatchNames{"MatchNames", "0"};
// The column that receives each file's path when the main window appends; empty: none.
inline constexpr SettingKey FileColumn{"FileColumn", ""};
// "1" when the main window gives each new table's columns the types their values show.
inline constexpr SettingKey DetectTypes{"DetectTypes", "0"};
// How many connections an import may use at once (1 to 64); empty or anything else: the number
// of processor cores, at most 4. No control sets it; it is changed in the store itself.
inline constexpr SettingKey Connections{"Connections", ""};
} // namespace SettingKeys

// The stored value of the key, or the given default when the key was never written.
QString ReadSetting(const QString& key, const QString& defaultValue = QString());
QString ReadSetting(const SettingKey& key);

// Stores the value under the key at once. Throws Failure when the store can't be written.
void WriteSetting(const QString& key, const QString& value);
void WriteSetting(const SettingKey& key, const QString& value);

namespace settings {

// Keeps the store in the given folder from now on instead of the user's configuration folder
// (tests, and the demo run, which must never touch the user's own settings).
void useFolder(const QString& folder);

// The file that holds the store (Linux).
QString storeFile();

} // namespace settings
