#pragma once

#include <QFile>
#include <QIODevice>
#include <memory>

// A new file of the program's own, open for reading and writing, that has no name in any folder
// (platform::anonymousTemporaryFile()): it is gone with the object, however the program ends.
// Throws Failure with the system's text when none can be made.
std::unique_ptr<QFile> temporaryFile(QIODevice::OpenMode extra = QIODevice::NotOpen);
