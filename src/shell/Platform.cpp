#include "shell/Platform.h"

#include "shell/Failure.h"
#include "shell/FileSystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

QChar pathSeparator() {
    return QLatin1Char('/');
}

bool keepsDoubleLeadingSeparator() {
    return false;
}

QString programFolder() {
    QString folder = QCoreApplication::applicationDirPath();
    while (folder.size() > 1 && folder.endsWith(pathSeparator()))
        folder.chop(1);
    return folder;
}

static QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

QString shippedFileIn(const QString& programFolder, const QString& name) {
    const QString beside = programFolder + pathSeparator() + name;
    if (pathExists(beside))
        return beside;
    // The build passes the data folder relative to the program's folder, as the install rules
    // lay them out.
    const QString installed =
        QDir::cleanPath(programFolder + pathSeparator() +
                        QStringLiteral(QUENMARL_DATA_FROM_PROGRAM) + pathSeparator() + name);
    return pathExists(installed) ? installed : beside;
}

QString fileBesideProgram(const QString& name) {
    return shippedFileIn(programFolder(), name);
}

namespace {

// What the test seam has arranged, keyed by cleaned path.
struct Simulations {
    QMutex mutex;
    QHash<QString, int> listingRefusals;
    QHash<QString, int> examiningRefusals;
    QSet<QString> readOnly;
    bool any = false;
};

Simulations& simulations() {
    static Simulations instance;
    return instance;
}

std::optional<int> simulatedRefusal(const QString& path, simulation::Operation operation) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    if (!all.any)
        return std::nullopt;
    const QHash<QString, int>& refusals =
        operation == simulation::Operation::Listing ? all.listingRefusals : all.examiningRefusals;
    const auto found = refusals.constFind(QDir::cleanPath(path));
    if (found == refusals.constEnd())
        return std::nullopt;
    return *found;
}

bool simulatedReadOnly(const QString& path) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    return all.any && all.readOnly.contains(QDir::cleanPath(path));
}

QString descriptionOf(int code) {
    switch (code) {
    case FileSystemError::PermissionDenied:
        return QStringLiteral("Permission denied");
    case FileSystemError::PathNotFound:
        return QStringLiteral("Path not found");
    default:
        return QStringLiteral("Path/File access error");
    }
}

[[noreturn]] void throwCode(int code) {
    throw FileSystemError(code, descriptionOf(code));
}

// Turns the error number of a failed call into the program's error codes.
[[noreturn]] void throwErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        throwCode(FileSystemError::PermissionDenied);
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        throwCode(FileSystemError::PathNotFound);
    default:
        throw FileSystemError(FileSystemError::PathFileAccessError,
                              descriptionOf(FileSystemError::PathFileAccessError) +
                                  QStringLiteral(" (") + QString::fromLocal8Bit(strerror(error)) +
                                  QLatin1Char(')'));
    }
}

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

std::optional<int> fileAttributes(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray native = nativePath(path);
    struct stat own {};
    if (::lstat(native.constData(), &own) != 0)
        return std::nullopt;

    int attributes = 0;
    struct stat target = own;
    if (S_ISLNK(own.st_mode)) {
        attributes |= AttributeAlias;
        if (::stat(native.constData(), &target) != 0)
            target = own;
    }
    if (S_ISDIR(target.st_mode))
        attributes |= AttributeDirectory;
    else if (S_ISREG(target.st_mode))
        attributes |= AttributeArchive;
    if (::access(native.constData(), W_OK) != 0 || simulatedReadOnly(path))
        attributes |= AttributeReadOnly;

    QString name = path;
    while (name.size() > 1 && name.endsWith(QLatin1Char('/')))
        name.chop(1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.startsWith(QLatin1Char('.')) && name != QLatin1String(".") &&
        name != QLatin1String(".."))
        attributes |= AttributeHidden;
    return attributes;
}

bool pathExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(nativePath(path).constData(), &info) == 0;
}

bool isRootFolder(const QString& path) {
    return !path.isEmpty() && QDir::cleanPath(path) == QLatin1String("/");
}

int requireAttributes(const QString& path) {
    if (const auto refused = simulatedRefusal(path, simulation::Operation::Examining))
        throwCode(*refused);
    struct stat info {};
    if (path.isEmpty())
        throwCode(FileSystemError::PathNotFound);
    if (::lstat(nativePath(path).constData(), &info) != 0)
        throwErrno(errno);
    if (const auto attributes = fileAttributes(path))
        return *attributes;
    throwCode(FileSystemError::PathNotFound);
}

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

bool isExistingFile(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

bool hasUnusualCharacters(const QString& name) {
    for (const QChar c : name) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?' ||
            c == QChar::ReplacementCharacter)
            return true;
    }
    return false;
}

namespace {

// The signals that ask the program to stop: Ctrl+C, a job runner's stop, a closed terminal.
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> interruptedBy{0}; // the first of them that came, 0 before any
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

// Notes the first signal and puts the default back for all of them, so that the next one,
// whichever, ends the program. The others are blocked while this runs (sa_mask), so one that
// comes meanwhile is delivered with the default afterwards. Only async-signal-safe calls.
extern "C" void onInterrupt(int number) {
    int none = 0;
    interruptedBy.compare_exchange_strong(none, number);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (const int stop : StopSignals)
        sigaction(stop, &standard, nullptr);
}

} // namespace

bool openToOthers(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return (status.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int stop : StopSignals)
        sigaddset(&action.sa_mask, stop);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (const int stop : StopSignals)
        sigaction(stop, &action, nullptr);
}

bool interruptRequested() {
    return interruptedBy.load() != 0;
}

int interruptSignal() {
    return interruptedBy.load();
}

namespace {

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

OpenedInput openInput(const QString& path) {
    const int descriptor =
        ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        throw Failure(QStringLiteral("Could not open %1: %2").arg(path, systemText(errno)));
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(descriptor);
        throw Failure(QStringLiteral("Could not open %1: %2").arg(path, systemText(error)));
    }
    OpenedInput input;
    input.descriptor = descriptor;
    input.regular = S_ISREG(info.st_mode);
    if (input.regular) {
        // Only the open had to be without waiting; reads of a regular file never wait anyway.
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
        input.size = static_cast<qint64>(info.st_size);
    }
    return input;
}

qint64 readWithin(int descriptor, char* data, qint64 size, int timeoutMs, const QString& path) {
    struct pollfd wanted {};
    wanted.fd = descriptor;
    wanted.events = POLLIN;
    const int ready = ::poll(&wanted, 1, timeoutMs);
    if (ready < 0 && errno != EINTR)
        throw Failure(QStringLiteral("Could not read %1: %2").arg(path, systemText(errno)));
    if (ready <= 0)
        return -1;
    const ssize_t got = ::read(descriptor, data, static_cast<size_t>(size));
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return -1;
        throw Failure(QStringLiteral("Could not read %1: %2").arg(path, systemText(errno)));
    }
    return static_cast<qint64>(got);
}

int anonymousTemporaryFile() {
    const QByteArray folder = nativePath(QDir::tempPath());
    int descriptor = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        // A file system without unnamed files: make a named one and take its name away at once.
        QByteArray name = folder + "/quenmarl-XXXXXX";
        descriptor = ::mkostemp(name.data(), O_CLOEXEC);
        if (descriptor >= 0)
            ::unlink(name.constData());
    }
    if (descriptor < 0)
        throw Failure(QStringLiteral("Could not make a temporary file in %1: %2")
                          .arg(QDir::tempPath(), systemText(errno)));
    return descriptor;
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0)
        ::close(descriptor);
}

QString standardInputPath() {
    return QStringLiteral("/dev/stdin");
}

namespace simulation {

void refuse(const QString& path, Operation operation, int code) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    (operation == Operation::Listing ? all.listingRefusals : all.examiningRefusals)
        .insert(QDir::cleanPath(path), code);
    all.any = true;
}

void markReadOnly(const QString& path) {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    all.readOnly.insert(QDir::cleanPath(path));
    all.any = true;
}

void clear() {
    Simulations& all = simulations();
    QMutexLocker lock(&all.mutex);
    all.listingRefusals.clear();
    all.examiningRefusals.clear();
    all.readOnly.clear();
    all.any = false;
}

} // namespace simulation

} // namespace platform
