#include "shell/TemporaryFile.h"

#include "shell/Failure.h"
#include "shell/Platform.h"

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
