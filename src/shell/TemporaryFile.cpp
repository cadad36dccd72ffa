#include "shell/TemporaryFile.h"

#include "shell/Failure.h"
#include "shell/Platform.h"

#include <QDir>

#include <algorithm>

std::unique_ptr<QFile> temporaryFile(QIODevice::OpenMode extra) {
    auto file = std::make_unique<QFile>();
    const int descriptor = platform::anonymousTemporaryFile();
    if (!file->open(descriptor, QIODevice::ReadWrite | extra, QFileDevice::AutoCloseHandle)) {
        platform::closeDescriptor(descriptor);
        throw Failure(
            QStringLiteral("Could not use a temporary file: %1").arg(file->errorString()));
    }
    return file;
}

bool TemporaryRoom::enoughAt(qint64 written) {
    constexpr qint64 MostReserve = qint64(1) << 30;
    if (written < m_nextCheck)
        return true;
    m_nextCheck = written + CheckEvery;
    const platform::Room room = platform::roomOf(m_file.handle());
    m_free = room.free;
    return room.free < 0 || room.free - CheckEvery >= std::min(MostReserve, room.total / 10);
}

QString TemporaryRoom::folder() {
    return QDir::toNativeSeparators(QDir::tempPath());
}
