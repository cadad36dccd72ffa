#pragma once

#include "textfile/FileSnapshot.h"
#include "textfile/RecordReader.h"

#include <QStringList>
#include <memory>

// A file opened as a run opens it, without a way to give up waiting for a pipe's writer.
inline std::unique_ptr<FileSnapshot> snapshot(const QString& path) {
    return FileSnapshot::open(path, {});
}

// The first lines of every record, as a plain reader cutting at "," gives them, the file read
// in pieces of chunkSize bytes.
inline QStringList readAll(FileSnapshot& file, qint64 chunkSize = 1 << 20) {
    RecordReader reader(file, FieldRule::Plain, QStringLiteral(","), chunkSize);
    QStringList lines;
    Record record;
    while (reader.next(record))
        lines.append(record.text);
    return lines;
}

inline QStringList readAll(const QString& path, qint64 chunkSize = 1 << 20) {
    return readAll(*snapshot(path), chunkSize);
}
