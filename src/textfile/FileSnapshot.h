#pragma once

#include <QFile>
#include <QString>
#include <functional>
#include <memory>

// One input file, opened once for its turn and readable as often as needed, always giving the
// same bytes:
//  - a regular file is read in place, up to the length it had when it was opened; what is
//    written to it later is not read;
//  - anything else (a named pipe, a process substitution, a character device, standard input)
//    is first read to its end into a temporary file of the program's own, which has no name in
//    any folder and so is gone with this object, however the program ends;
//  - a file that begins with a UTF-16 byte-order mark (little or big endian) is converted to
//    UTF-8 into such a temporary file, without the mark.
// It also decides the file's line end: the line feed, or the carriage return when the file
// holds carriage returns and no line feed at all.
//
// Readers take turns (LineReader): each reads device() from the start up to size().
class FileSnapshot {
public:
    // Opens the file. While a pipe's writer is awaited or its bytes come in, cancelled is
    // asked several times a second; when it answers true, the reading is given up and no
    // snapshot is returned. Throws Failure with the system's text when the file can't be opened
    // or read, or the copy can't be written.
    static std::unique_ptr<FileSnapshot> open(const QString& path,
                                              const std::function<bool()>& cancelled);

    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    const QString& path() const { return m_path; }
    QFile& device() { return *m_file; }
    qint64 size() const { return m_size; }
    char lineEnd() const { return m_lineEnd; }

    // Something to tell the user about how the file was read (UTF-16 that was not valid), or
    // the empty text.
    const QString& note() const { return m_note; }

private:
    explicit FileSnapshot(QString path);
    bool copyStream(int descriptor, const std::function<bool()>& cancelled);
    void convertUtf16(bool bigEndian);
    void decideLineEnd();
    void useTemporary(std::unique_ptr<QFile> file, qint64 size);
    [[noreturn]] void failRead(const QFile& file) const;

    QString m_path;
    std::unique_ptr<QFile> m_file;
    qint64 m_size = 0;
    char m_lineEnd = '\n';
    QString m_note;
};
