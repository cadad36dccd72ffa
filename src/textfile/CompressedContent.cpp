#include "textfile/CompressedContent.h"

#include "shell/Failure.h"
#include "shell/TemporaryFile.h"

#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr qint64 PieceSize = 1 << 20;

bool startsWith(QByteArrayView start, QByteArrayView mark) {
    return start.size() >= mark.size() && start.first(mark.size()) == mark;
}

// What libarchive reads: the first `left` bytes of a file, from its start.
struct Source {
    QFile& file;
    qint64 left;
    QByteArray piece = QByteArray(PieceSize, Qt::Uninitialized);
};

la_ssize_t readSource(archive* reading, void* data, const void** buffer) {
    auto* source = static_cast<Source*>(data);
    const qint64 want = std::min<qint64>(source->left, source->piece.size());
    if (want <= 0)
        return 0;
    const qint64 got = source->file.read(source->piece.data(), want);
    if (got < 0) {
        archive_set_error(reading, EIO, "%s", qPrintable(source->file.errorString()));
        return -1;
    }
    source->left -= got;
    *buffer = source->piece.constData();
    return static_cast<la_ssize_t>(got);
}

// A file of the archive that counts: not a folder, nor the resources a Mac adds to a .zip.
bool isContentEntry(archive_entry* entry) {
    const QString name = QString::fromUtf8(archive_entry_pathname(entry));
    return archive_entry_filetype(entry) == AE_IFREG && !name.startsWith(u"__MACOSX/");
}

class Unpacking {
public:
    Unpacking(const QString& path, QFile& target, qint64 mostBytes,
              const std::function<bool()>& cancelled)
        : m_path(path)
        , m_target(target)
        , m_mostBytes(mostBytes)
        , m_cancelled(cancelled) {}
    ~Unpacking() { archive_read_free(m_archive); }
    Unpacking(const Unpacking&) = delete;
    Unpacking& operator=(const Unpacking&) = delete;

    CompressedContent::Unpacked run(Source& source, CompressedContent::Kind kind);

private:
    [[noreturn]] void fail(const QString& what) const {
        throw Failure(QStringLiteral("Could not unpack %1: %2").arg(m_path, what));
    }
    QString archiveText() const {
        const char* text = archive_error_string(m_archive);
        return text ? QString::fromLocal8Bit(text) : QStringLiteral("the content is damaged");
    }
    void firstEntry(bool zip);
    void copyContent(CompressedContent::Unpacked& unpacked);
    void write(const char* data, qint64 size, CompressedContent::Unpacked& unpacked);
    void keepRoom(qint64 written);
    void refuseFurtherFiles();

    const QString& m_path;
    QFile& m_target;
    qint64 m_mostBytes;
    const std::function<bool()>& m_cancelled;
    archive* m_archive = archive_read_new();
    QString m_firstName;
    TemporaryRoom m_room{m_target};
};

CompressedContent::Unpacked Unpacking::run(Source& source, CompressedContent::Kind kind) {
    const bool zip = kind == CompressedContent::Kind::Zip;
    if (zip) {
        archive_read_support_format_zip(m_archive);
    } else {
        archive_read_support_filter_all(m_archive);
        archive_read_support_format_raw(m_archive);
    }
    if (archive_read_open(m_archive, &source, nullptr, readSource, nullptr) != ARCHIVE_OK)
        fail(archiveText());
    firstEntry(zip);
    if (!m_target.seek(0) || !m_target.resize(0))
        fail(m_target.errorString());
    CompressedContent::Unpacked unpacked;
    copyContent(unpacked);
    if (zip && unpacked.damage.isEmpty() && !unpacked.cut && !unpacked.stopped)
        refuseFurtherFiles();
    return unpacked;
}

// Goes to the entry whose content is read: the stream itself, or the .zip's first file.
void Unpacking::firstEntry(bool zip) {
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(m_archive, &entry);
        if (status == ARCHIVE_EOF)
            fail(QStringLiteral("the archive holds no file."));
        if (status < ARCHIVE_WARN)
            fail(archiveText());
        if (!zip || isContentEntry(entry))
            break;
    }
    m_firstName = QString::fromUtf8(archive_entry_pathname(entry));
}

void Unpacking::copyContent(CompressedContent::Unpacked& unpacked) {
    QByteArray piece(PieceSize, Qt::Uninitialized);
    for (;;) {
        if (m_cancelled && m_cancelled()) {
            unpacked.stopped = true;
            return;
        }
        const la_ssize_t got = archive_read_data(m_archive, piece.data(), PieceSize);
        if (got == 0)
            return;
        if (got < 0) {
            if (unpacked.size == 0)
                fail(archiveText());
            unpacked.damage = archiveText();
            return;
        }
        qint64 take = got;
        if (m_mostBytes >= 0 && unpacked.size + take > m_mostBytes) {
            take = m_mostBytes - unpacked.size;
            unpacked.cut = true;
        }
        write(piece.constData(), take, unpacked);
        if (unpacked.cut)
            return;
    }
}

void Unpacking::write(const char* data, qint64 size, CompressedContent::Unpacked& unpacked) {
    keepRoom(unpacked.size);
    if (m_target.write(data, size) != size)
        throw Failure(QStringLiteral("Could not unpack %1 into a temporary file: %2")
                          .arg(m_path, m_target.errorString()));
    unpacked.size += size;
}

// The unpacking stops before the temporary copy could fill its file system (TemporaryRoom).
void Unpacking::keepRoom(qint64 written) {
    if (m_room.enoughAt(written))
        return;
    fail(QStringLiteral("its content is larger than the room left for a temporary copy in %1 "
                        "(%2 MiB unpacked, %3 MiB free); no line of it was read.")
             .arg(TemporaryRoom::folder())
             .arg(written >> 20)
             .arg(m_room.freeBytes() >> 20));
}

// A .zip is read only when it holds one file: the others are named.
void Unpacking::refuseFurtherFiles() {
    QStringList names{m_firstName};
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(m_archive, &entry)) == ARCHIVE_OK ||
           status == ARCHIVE_WARN) {
        if (isContentEntry(entry))
            names.append(QString::fromUtf8(archive_entry_pathname(entry)));
    }
    if (names.size() > 1)
        fail(QStringLiteral("the archive holds %1 files (%2); only a .zip that holds one file "
                            "is read.")
                 .arg(names.size())
                 .arg(names.join(QStringLiteral(", "))));
    if (status != ARCHIVE_EOF)
        fail(archiveText());
}

} // namespace

CompressedContent::Kind CompressedContent::kindOf(QByteArrayView start) {
    if (startsWith(start, QByteArrayView("\x1F\x8B\x08", 3)))
        return Kind::Gzip;
    // "BZh", the block size, then the mark of a first block or of an empty stream's end.
    if (start.size() >= 10 && startsWith(start, QByteArrayView("BZh", 3)) && start[3] >= '1' &&
        start[3] <= '9' &&
        (start.sliced(4, 6) == QByteArrayView("\x31\x41\x59\x26\x53\x59", 6) ||
         start.sliced(4, 6) == QByteArrayView("\x17\x72\x45\x38\x50\x90", 6)))
        return Kind::Bzip2;
    if (startsWith(start, QByteArrayView("\xFD"
                                         "7zXZ\0",
                                         6)))
        return Kind::Xz;
    if (startsWith(start, QByteArrayView("\x28\xB5\x2F\xFD", 4)))
        return Kind::Zstd;
    if (startsWith(start, QByteArrayView("PK\x03\x04", 4)) ||
        startsWith(start, QByteArrayView("PK\x05\x06", 4)))
        return Kind::Zip;
    return Kind::None;
}

CompressedContent::Unpacked CompressedContent::unpack(QFile& source, qint64 size, Kind kind,
                                                      const QString& path, QFile& target,
                                                      qint64 mostBytes,
                                                      const std::function<bool()>& cancelled) {
    if (!source.seek(0))
        throw Failure(QStringLiteral("Could not read %1: %2").arg(path, source.errorString()));
    Source from{source, size};
    Unpacking unpacking(path, target, mostBytes, cancelled);
    return unpacking.run(from, kind);
}
