#pragma once

#include <QFile>
#include <QIODevice>
#include <QString>
#include <memory>

// A new file of the program's own, open for reading and writing, that has no name in any folder
// (platform::anonymousTemporaryFile()): it is gone with the object, however the program ends.
// Throws Failure with the system's text when none can be made.
std::unique_ptr<QFile> temporaryFile(QIODevice::OpenMode extra = QIODevice::NotOpen);

// Keeps a temporary file from filling its file system: asked before bytes are written, it
// looks, before every CheckEvery bytes, whether at least a tenth of the file system (at most
// 1 GiB) would stay free after them. A file system that can't tell is taken to have room.
class TemporaryRoom {
public:
    static constexpr qint64 CheckEvery = 8 << 20;

    explicit TemporaryRoom(const QFile& file)
        : m_file(file) {}

    // False when the file, `written` bytes long, may not grow by the next CheckEvery bytes.
    bool enoughAt(qint64 written);
    // The free bytes the last look found.
    qint64 freeBytes() const { return m_free; }
    // Where temporary files go, as the user writes it.
    static QString folder();

private:
    const QFile& m_file;
    qint64 m_nextCheck = 0;
    qint64 m_free = -1;
};
