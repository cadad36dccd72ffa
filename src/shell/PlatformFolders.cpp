#include "shell/PlatformInternal.h"

#include "shell/FileSystemError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

// Listing folders in the order Windows lists them, and matching names against wildcards.

namespace platform {

using namespace internal;

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// Compares two names as NTFS does: each UTF-16 unit upper-cased on its own (no expansions such
// as German sharp s to "SS"), then by unit value.
int compareIgnoringCase(const QString& a, const QString& b) {
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char32_t x = QChar::toUpper(char32_t(a[i].unicode()));
        const char32_t y = QChar::toUpper(char32_t(b[i].unicode()));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool sameIgnoringCase(QChar a, QChar b) {
    return QChar::toUpper(char32_t(a.unicode())) == QChar::toUpper(char32_t(b.unicode()));
}

// Wildcard matching that remembers the last "*" seen and lets it take one more character
// whenever the rest fails to match.
bool wildcardMatches(const QString& name, const QString& pattern) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starPattern = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == QLatin1Char('?') || sameIgnoringCase(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starPattern >= 0) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

} // namespace

bool listsBefore(const QString& a, const QString& b) {
    const int ignoringCase = compareIgnoringCase(a, b);
    if (ignoringCase != 0)
        return ignoringCase < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

QList<FolderEntry> listFolder(const QString& folder) {
    if (const auto refused = simulatedRefusal(folder, simulation::Operation::Listing))
        throwCode(*refused);
    if (folder.isEmpty())
        throwCode(FileSystemError::PathNotFound);
    std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(nativePath(folder).constData()));
    if (!directory)
        throwErrno(errno);
    const int descriptor = ::dirfd(directory.get());

    struct Listed {
        FolderEntry entry;
        QByteArray raw;
    };
    std::vector<Listed> listed;
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(directory.get());
        if (!item) {
            if (errno != 0)
                throwErrno(errno);
            break;
        }
        const QByteArray raw(item->d_name);
        if (raw == "." || raw == "..")
            continue;
        Listed one;
        one.raw = raw;
        one.entry.name = QFile::decodeName(raw);
        one.entry.nameIsExact = QFile::encodeName(one.entry.name) == raw;

        unsigned char type = item->d_type;
        struct stat info {};
        if (type == DT_UNKNOWN &&
            ::fstatat(descriptor, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
            type = S_ISLNK(info.st_mode) ? DT_LNK : (S_ISDIR(info.st_mode) ? DT_DIR : DT_REG);
        if (type == DT_LNK) {
            one.entry.isSymbolicLink = true;
            one.entry.isFolder =
                ::fstatat(descriptor, item->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        } else {
            one.entry.isFolder = type == DT_DIR;
        }
        listed.push_back(std::move(one));
    }

    std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        if (a.entry.name != b.entry.name)
            return listsBefore(a.entry.name, b.entry.name);
        return a.raw < b.raw; // names that decode alike, through replacement characters
    });
    QList<FolderEntry> entries;
    entries.reserve(qsizetype(listed.size()));
    for (Listed& one : listed)
        entries.append(std::move(one.entry));
    return entries;
}

bool nameMatches(const QString& name, const QString& pattern) {
    if (pattern == QLatin1String("*.*"))
        return true;
    return wildcardMatches(name, pattern);
}

} // namespace platform
