#include "textfile/FileSnapshot.h"

#include "shell/Failure.h"
#include "shell/Platform.h"
#include "shell/TemporaryFile.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

constexpr qint64 PieceSize = 1 << 20;
constexpr int WaitMs = 100; // how long one wait for a pipe's bytes lasts before cancel is asked

// Closes a descriptor whatever happens.
struct DescriptorGuard {
    int descriptor;
    ~DescriptorGuard() { platform::closeDescriptor(descriptor); }
};

} // namespace

FileSnapshot::FileSnapshot(QString path)
    : m_path(std::move(path)) {}

std::unique_ptr<FileSnapshot> FileSnapshot::open(const QString& path,
                                                 const std::function<bool()>& cancelled) {
    std::unique_ptr<FileSnapshot> snapshot(new FileSnapshot(path));
    const platform::OpenedInput input = platform::openInput(path);
    if (input.regular) {
        snapshot->m_file = std::make_unique<QFile>();
        if (!snapshot->m_file->open(input.descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
                                    QFileDevice::AutoCloseHandle)) {
            platform::closeDescriptor(input.descriptor);
            throw Failure(
                QStringLiteral("Could not open %1: %2").arg(path, snapshot->m_file->errorString()));
        }
        snapshot->m_size = input.size;
    } else {
        const DescriptorGuard guard{input.descriptor};
        if (!snapshot->copyStream(input.descriptor, cancelled))
            return nullptr;
    }

    char mark[2] = {};
    QFile& file = *snapshot->m_file;
    if (!file.seek(0))
        snapshot->failRead(file);
    if (snapshot->m_size >= 2 && file.read(mark, 2) == 2) {
        if (mark[0] == '\xFF' && mark[1] == '\xFE')
            snapshot->convertUtf16(false);
        else if (mark[0] == '\xFE' && mark[1] == '\xFF')
            snapshot->convertUtf16(true);
    }
    snapshot->decideLineEnd();
    return snapshot;
}

void FileSnapshot::failRead(const QFile& file) const {
    throw Failure(QStringLiteral("Could not read %1: %2").arg(m_path, file.errorString()));
}

void FileSnapshot::useTemporary(std::unique_ptr<QFile> file, qint64 size) {
    m_file = std::move(file);
    m_size = size;
}

// Reads a pipe or device to its end into a temporary file; false when cancelled first.
bool FileSnapshot::copyStream(int descriptor, const std::function<bool()>& cancelled) {
    std::unique_ptr<QFile> copy = temporaryFile(QIODevice::Unbuffered);
    QByteArray piece(PieceSize, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (cancelled && cancelled())
            return false;
        const qint64 got =
            platform::readWithin(descriptor, piece.data(), PieceSize, WaitMs, m_path);
        if (got == 0)
            break;
        if (got < 0)
            continue;
        if (copy->write(piece.constData(), got) != got)
            throw Failure(QStringLiteral("Could not copy %1 into a temporary file: %2")
                              .arg(m_path, copy->errorString()));
        total += got;
    }
    useTemporary(std::move(copy), total);
    return true;
}

// Replaces the file by its text in UTF-8. Reads from just after the byte-order mark.
void FileSnapshot::convertUtf16(bool bigEndian) {
    std::unique_ptr<QFile> converted = temporaryFile(QIODevice::Unbuffered);
    // The mark is passed over here; a second one would be a character of the text.
    QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                           QStringConverter::Flag::ConvertInitialBom);
    QStringEncoder encoder(QStringConverter::Utf8);
    QByteArray piece(PieceSize, Qt::Uninitialized);
    qint64 left = m_size - 2;
    qint64 written = 0;
    const auto put = [&](const QByteArray& bytes) {
        if (converted->write(bytes) != bytes.size())
            throw Failure(QStringLiteral("Could not convert %1 into a temporary file: %2")
                              .arg(m_path, converted->errorString()));
        written += bytes.size();
    };
    while (left > 0) {
        const qint64 got = m_file->read(piece.data(), std::min(left, PieceSize));
        if (got <= 0)
            failRead(*m_file);
        left -= got;
        const QString text = decoder.decode(QByteArrayView(piece.constData(), got));
        put(encoder.encode(text));
    }
    // A byte left over at the end, like a lone surrogate, is not UTF-16.
    if (decoder.hasError() || encoder.hasError() || (m_size - 2) % 2 != 0)
        m_note = QStringLiteral("%1 is not valid UTF-16 throughout; what is not was read as the "
                                "replacement character U+FFFD or left out.")
                     .arg(m_path);
    useTemporary(std::move(converted), written);
}

void FileSnapshot::decideLineEnd() {
    m_lineEnd = '\n';
    if (!m_file->seek(0))
        failRead(*m_file);
    QByteArray piece(std::min(m_size, PieceSize), Qt::Uninitialized);
    bool carriageReturn = false;
    for (qint64 left = m_size; left > 0;) {
        const qint64 got = m_file->read(piece.data(), std::min<qint64>(left, piece.size()));
        if (got <= 0)
            failRead(*m_file);
        const QByteArrayView bytes(piece.constData(), got);
        if (bytes.contains('\n'))
            return;
        carriageReturn = carriageReturn || bytes.contains('\r');
        left -= got;
    }
    if (carriageReturn)
        m_lineEnd = '\r';
}
