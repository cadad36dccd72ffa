#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <functional>

// The compressed files read as their content: a gzip, bzip2, xz or zstd stream, or a .zip
// archive that holds one file. Which one a file is, its first bytes decide, never its name. The
// unpacking is libarchive's.
class CompressedContent {
public:
    enum class Kind { None, Gzip, Bzip2, Xz, Zstd, Zip };

    // How many of a file's first bytes kindOf() looks at (fewer when the file is shorter).
    static constexpr qsizetype MarkBytes = 10;
    static Kind kindOf(QByteArrayView start);

    struct Unpacked {
        qint64 size = 0;      // bytes written to the target
        bool cut = false;     // mostBytes were written and more content followed
        bool stopped = false; // cancelled answered true
        QString damage;       // libarchive's words when the content broke off before its end
    };

    // Writes the content of the first `size` bytes of source, compressed as kind (not None),
    // to target from its start, at most mostBytes of it (-1: all); cancelled is asked between
    // pieces. Throws Failure naming path when no byte of content can be read, when a .zip holds
    // no file or several (naming them), and when the content would leave less than a reserve
    // free on the file system of target: a small file that unpacks to very much more never
    // fills the disk.
    static Unpacked unpack(QFile& source, qint64 size, Kind kind, const QString& path,
                           QFile& target, qint64 mostBytes, const std::function<bool()>& cancelled);
};
