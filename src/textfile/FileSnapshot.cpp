#include "textfile/FileSnapshot.h"

#include "shell/Failure.h"
#include "shell/Platform.h"
#include "shell/TemporaryFile.h"
#include "textfile/CompressedContent.h"

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
        snapshot->openRegular(input, input.size);
    } else {
        const DescriptorGuard guard{input.descriptor};
        if (!snapshot->copyStream(input.descriptor, cancelled))
            return nullptr;
    }
    if (snapshot->unpackIfCompressed(-1, cancelled) == Unpacking::Stopped ||
        !snapshot->readAsText(cancelled))
        return nullptr;
    // A line cut off where the content broke off is not read as a line of the file.
    if (!snapshot->m_damage.isEmpty() && !snapshot->endAtLastLineEnd())
        throw Failure(QStringLiteral("Could not unpack %1: %2; no whole line of it could be "
                                     "read.")
                          .arg(path, snapshot->m_damage));
    return snapshot;
}

std::unique_ptr<FileSnapshot> FileSnapshot::openStart(const QString& path, qint64 mostBytes) {
    std::unique_ptr<FileSnapshot> snapshot(new FileSnapshot(path));
    const platform::OpenedInput input = platform::openInput(path);
    if (!input.regular) {
        platform::closeDescriptor(input.descriptor);
        return nullptr;
    }
    snapshot->openRegular(input, input.size);
    if (snapshot->unpackIfCompressed(mostBytes, {}) == Unpacking::NotCompressed) {
        snapshot->m_cut = input.size > mostBytes;
        snapshot->m_size = std::min(input.size, mostBytes);
    }
    snapshot->readAsText();
    if (snapshot->m_cut)
        snapshot->endAtLastLineEnd();
    return snapshot;
}

// Takes over the descriptor, which is closed with the file or here when it can't be opened.
void FileSnapshot::openRegular(const platform::OpenedInput& input, qint64 size) {
    m_file = std::make_unique<QFile>();
    if (!m_file->open(input.descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
                      QFileDevice::AutoCloseHandle)) {
        platform::closeDescriptor(input.descriptor);
        throw Failure(QStringLiteral("Could not open %1: %2").arg(m_path, m_file->errorString()));
    }
    m_size = size;
}

bool FileSnapshot::readAsText(const std::function<bool()>& cancelled) {
    char mark[2] = {};
    if (!m_file->seek(0))
        failRead(*m_file);
    if (m_size >= 2 && m_file->read(mark, 2) == 2) {
        if (mark[0] == '\xFF' && mark[1] == '\xFE' && !convertUtf16(false, cancelled))
            return false;
        if (mark[0] == '\xFE' && mark[1] == '\xFF' && !convertUtf16(true, cancelled))
            return false;
    }
    decideLineEnd();
    return true;
}

// Searches backwards, a piece at a time, so that a long last line costs no more than it spans.
bool FileSnapshot::endAtLastLineEnd() {
    constexpr qint64 Piece = 64 * 1024;
    QByteArray piece;
    for (qint64 end = m_size; end > 0;) {
        const qint64 start = std::max<qint64>(0, end - Piece);
        if (!m_file->seek(start))
            failRead(*m_file);
        piece.resize(end - start);
        if (m_file->read(piece.data(), piece.size()) != piece.size())
            failRead(*m_file);
        const qsizetype found = piece.lastIndexOf(m_lineEnd);
        if (found >= 0) {
            m_size = start + found + 1;
            return true;
        }
        end = start;
    }
    return false;
}

// Replaces a compressed file by its content, at most mostBytes of it (-1: all).
FileSnapshot::Unpacking FileSnapshot::unpackIfCompressed(qint64 mostBytes,
                                                         const std::function<bool()>& cancelled) {
    QByteArray start(CompressedContent::MarkBytes, Qt::Uninitialized);
    if (!m_file->seek(0))
        failRead(*m_file);
    const qint64 got = m_file->read(start.data(), std::min<qint64>(start.size(), m_size));
    if (got < 0)
        failRead(*m_file);
    const CompressedContent::Kind kind = CompressedContent::kindOf(start.first(got));
    if (kind == CompressedContent::Kind::None)
        return Unpacking::NotCompressed;
    std::unique_ptr<QFile> content = temporaryFile(QIODevice::Unbuffered);
    const CompressedContent::Unpacked unpacked =
        CompressedContent::unpack(*m_file, m_size, kind, m_path, *content, mostBytes, cancelled);
    if (unpacked.stopped)
        return Unpacking::Stopped;
    m_cut = unpacked.cut;
    m_damage = unpacked.damage;
    useTemporary(std::move(content), unpacked.size);
    return Unpacking::Done;
}

// A temporary copy stopped before it could fill its file system (TemporaryRoom).
void FileSnapshot::failRoom(const QString& verb, qint64 written, qint64 freeBytes) const {
    throw Failure(QStringLiteral("Could not %1 %2 into a temporary file: it is larger than the "
                                 "room left in %3 (%4 MiB written, %5 MiB free); no line of it "
                                 "was read.")
                      .arg(verb, m_path, TemporaryRoom::folder())
                      .arg(written >> 20)
                      .arg(freeBytes >> 20));
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
    TemporaryRoom room(*copy);
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
        if (!room.enoughAt(total))
            failRoom(QStringLiteral("copy"), total, room.freeBytes());
        if (copy->write(piece.constData(), got) != got)
            throw Failure(QStringLiteral("Could not copy %1 into a temporary file: %2")
                              .arg(m_path, copy->errorString()));
        total += got;
    }
    useTemporary(std::move(copy), total);
    return true;
}

// Replaces the file by its text in UTF-8. Reads from just after the byte-order mark. False,
// the file left as it was, when cancelled answered true.
bool FileSnapshot::convertUtf16(bool bigEndian, const std::function<bool()>& cancelled) {
    m_converted = bigEndian ? Converted::Utf16BigEndian : Converted::Utf16LittleEndian;
    std::unique_ptr<QFile> converted = temporaryFile(QIODevice::Unbuffered);
    // The mark is passed over here; a second one would be a character of the text.
    QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                           QStringConverter::Flag::ConvertInitialBom);
    QStringEncoder encoder(QStringConverter::Utf8);
    QByteArray piece(PieceSize, Qt::Uninitialized);
    qint64 left = m_size - 2;
    qint64 written = 0;
    TemporaryRoom room(*converted);
    const auto put = [&](const QByteArray& bytes) {
        if (!room.enoughAt(written))
            failRoom(QStringLiteral("convert"), written, room.freeBytes());
        if (converted->write(bytes) != bytes.size())
            throw Failure(QStringLiteral("Could not convert %1 into a temporary file: %2")
                              .arg(m_path, converted->errorString()));
        written += bytes.size();
    };
    while (left > 0) {
        if (cancelled && cancelled())
            return false;
        const qint64 got = m_file->read(piece.data(), std::min(left, PieceSize));
        if (got <= 0)
            failRead(*m_file);
        left -= got;
        const QString text = decoder.decode(QByteArrayView(piece.constData(), got));
        put(encoder.encode(text));
    }
    // A byte left over at the end, like a lone surrogate, is not UTF-16; where the snapshot
    // holds only the file's start, the rest of a character may follow.
    if (decoder.hasError() || encoder.hasError() || (!m_cut && (m_size - 2) % 2 != 0))
        m_note = QStringLiteral("%1 is not valid UTF-16 throughout; what is not was read as the "
                                "replacement character U+FFFD or left out.")
                     .arg(m_path);
    useTemporary(std::move(converted), written);
    return true;
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
