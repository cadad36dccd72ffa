#include "shell/Paths.h"

#include "shell/Platform.h"

bool PathExists(const QString& path) {
    return platform::pathExists(path);
}

bool IsFolder(const QString& path) {
    const auto attributes = platform::fileAttributes(path);
    return attributes && (*attributes & platform::AttributeDirectory) != 0;
}

static QString collapsePairs(const QString& text, QChar separator) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i;
    }
    return result;
}

QString normalizePathWith(const QString& path, QChar separator, bool doubleLeadingSeparator) {
    if (!path.startsWith(separator))
        return collapsePairs(path, separator);
    qsizetype rest = 1;
    while (rest < path.size() && path[rest] == separator)
        ++rest;
    const QString prefix = doubleLeadingSeparator ? QString(2, separator) : QString(separator);
    return prefix + collapsePairs(path.mid(rest), separator);
}

QString NormalizePath(const QString& path) {
    return normalizePathWith(path, platform::pathSeparator(),
                             platform::keepsDoubleLeadingSeparator());
}
