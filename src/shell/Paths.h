#pragma once

#include <QString>

// Path tests never throw: a path that can't be examined answers no.
bool PathExists(const QString& path);
bool IsFolder(const QString& path);

// Collapses doubled separators in one left-to-right pass (three in a row become two, four
// become two). A path that begins with separators keeps exactly one of them on Linux and two
// on Windows, where the pair marks a network path. The empty text stays empty.
QString NormalizePath(const QString& path);

// The same rule for a given separator and leading form; NormalizePath uses the platform's.
QString normalizePathWith(const QString& path, QChar separator, bool doubleLeadingSeparator);
