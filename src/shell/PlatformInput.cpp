#include "shell/PlatformInternal.h"

#include "shell/Failure.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

// Input files opened once, reads that can be given up, and unnamed temporary files.

namespace platform {

using namespace internal;

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

qint64 readAt(int descriptor, char* data, qint64 size, qint64 offset, const QString& path) {
    for (;;) {
        const ssize_t got =
            ::pread(descriptor, data, static_cast<size_t>(size), static_cast<off_t>(offset));
        if (got >= 0)
            return static_cast<qint64>(got);
        if (errno != EINTR)
            throw Failure(QStringLiteral("Could not read %1: %2").arg(path, systemText(errno)));
    }
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

Room roomOf(int descriptor) {
    struct statvfs status {};
    if (::fstatvfs(descriptor, &status) != 0)
        return {};
    const auto unit = static_cast<qint64>(status.f_frsize);
    return {static_cast<qint64>(status.f_bavail) * unit,
            static_cast<qint64>(status.f_blocks) * unit};
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0)
        ::close(descriptor);
}

} // namespace platform
