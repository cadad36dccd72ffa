#pragma once

#include <QFile>
#include <QString>
#include <algorithm>
#include <functional>
#include <memory>

namespace platform {
struct OpenedInput;
}

// One input file, opened once for its turn and readable as often as needed, always giving the
// same bytes:
//  - a regular file is read in place, up to the length it had when it was opened; what is
//    written to it later is not read;
//  - anything else (a named pipe, a process substitution, a character device, standard input)
//    is first read to its end into a temporary file of the program's own, which has no name in
//    any folder and so is gone with this object, however the program ends;
//  - a compressed file (CompressedContent: gzip, bzip2, xz, zstd, a .zip of one file) is
//    unpacked into such a temporary file: its content is read twice or more, and from any
//    place (ranges, rejected lines), which a compressed stream can't give;
//  - a file that begins with a UTF-16 byte-order mark (little or big endian) is converted to
//    UTF-8 into such a temporary file, without the mark.
// It also decides the file's line end: the line feed, or the carriage return when the file
// holds carriage returns and no line feed at all.
//
// Readers take turns (LineReader): each reads device() from the start up to size().
class FileSnapshot {
public:
    // How the text came to be UTF-8: as it stands in the file, or converted from UTF-16.
    enum class Converted { None, Utf16LittleEndian, Utf16BigEndian };

    // Opens the file. While a pipe's writer is awaited or its bytes come in, and while a
    // compressed file is unpacked or UTF-16 converted, cancelled is asked several times a second;
    // when it answers true, the reading is given up and no snapshot is returned. Throws Failure
    // with the system's text when the file can't be opened or read, or the copy can't be written.
    static std::unique_ptr<FileSnapshot> open(const QString& path,
                                              const std::function<bool()>& cancelled);

    // The start of a regular file, for a look at it that never reads it whole: its first
    // mostBytes bytes (converted as open() converts them), and when the file goes on after them,
    // only up to the last line end among them, so that every line it holds is whole; a first
    // line longer than that is kept as far as it goes. Returns null, without reading anything,
    // when the path is not a regular file (a named pipe, a device), which could be read only
    // once. Throws Failure as open() does.
    static std::unique_ptr<FileSnapshot> openStart(const QString& path, qint64 mostBytes);

    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    const QString& path() const { return m_path; }
    QFile& device() { return *m_file; }
    qint64 size() const { return m_size; }
    char lineEnd() const { return m_lineEnd; }
    Converted converted() const { return m_converted; }
    // Whether the file goes on after what the snapshot holds (openStart() only).
    bool cut() const { return m_cut; }

    // When the compressed content broke off before its end (a file cut short, damaged data):
    // libarchive's words; the snapshot then ends at the last line end before it. Empty
    // otherwise.
    const QString& damage() const { return m_damage; }
    // Damaged content is read only up to this offset, a record start before the break.
    void endAt(qint64 offset) { m_size = std::min(m_size, offset); }

    // Something to tell the user about how the file was read (UTF-16 that was not valid), or
    // the empty text.
    const QString& note() const { return m_note; }

private:
    explicit FileSnapshot(QString path);
    void openRegular(const platform::OpenedInput& input, qint64 size);
    // Converts UTF-16 and decides the line end; false when cancelled answered true first.
    bool readAsText(const std::function<bool()>& cancelled = {});
    // false when the snapshot holds no line end at all
    bool endAtLastLineEnd();
    enum class Unpacking { NotCompressed, Done, Stopped };
    Unpacking unpackIfCompressed(qint64 mostBytes, const std::function<bool()>& cancelled);
    bool copyStream(int descriptor, const std::function<bool()>& cancelled);
    bool convertUtf16(bool bigEndian, const std::function<bool()>& cancelled);
    void decideLineEnd();
    void useTemporary(std::unique_ptr<QFile> file, qint64 size);
    [[noreturn]] void failRead(const QFile& file) const;
    [[noreturn]] void failRoom(const QString& verb, qint64 written, qint64 freeBytes) const;

    QString m_path;
    std::unique_ptr<QFile> m_file;
    qint64 m_size = 0;
    char m_lineEnd = '\n';
    Converted m_converted = Converted::None;
    bool m_cut = false;
    QString m_note;
    QString m_damage;
};
