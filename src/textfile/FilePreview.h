#pragma once

#include "textfile/FieldRule.h"
#include "textfile/Record.h"

#include <QList>
#include <QString>
#include <QStringList>

// One record of a preview: where it stands and the values it gives.
struct PreviewRecord {
    qint64 line = 0; // index of its first line; the file's first line is 0
    // The values as they go into the table: under the plain rule without double quotes and an
    // empty value other than the first NULL; NULL is a null QString.
    QStringList values;
    qsizetype fieldCount = 0;
    Record::Problem problem = Record::Problem::None;
    qint64 problemLine = 0; // index of the line where the problem lies
};

// The start of a file as an import would cut it, read by the import's own reader.
struct FilePreview {
    // How the lines read became text (LineDecoder, FileSnapshot).
    enum class Encoding {
        Utf8,                // every line valid UTF-8 (ASCII included)
        Windows1252,         // some lines not valid UTF-8, none with a multi-byte sequence
        Utf8WithWindows1252, // both kinds of line
        Utf16LittleEndian,   // converted after its byte-order mark
        Utf16BigEndian,
    };
    // Where the preview stopped reading.
    enum class End {
        WholeFile,   // the file's end, or a malformed record, at which the import ends too
        RecordLimit, // more records follow the ones kept
        ByteLimit,   // the file goes on after the bytes read
    };

    QString failure;      // why the file could not be read; empty when it was
    bool regular = true;  // false for a named pipe or a device, which is not read
    bool noLines = false; // the file holds no line at all
    // The non-empty records in file order, the first record (the header) first; the preview
    // ends after a malformed one. Empty lines, which the import passes over, are left out.
    QList<PreviewRecord> records;
    bool firstLineEmpty = false; // the file's first line is empty: it gives no columns
    Encoding encoding = Encoding::Utf8;
    QString note; // what the snapshot tells about the reading (UTF-16 not valid), or empty
    End end = End::WholeFile;
    // The type each column of the first record would get from the values of the records after
    // it that were read (ColumnTypes), as CREATE TABLE names it.
    QStringList types;
};

// Reads at most mostBytes bytes of a regular file, and at most mostRecords non-empty records
// of them, cut by the rule at the separator exactly as the import cuts them. Never blocks on a
// pipe: anything but a regular file is not read. Failures are kept in the result, never thrown.
FilePreview previewFile(const QString& path, const QString& separator, FieldRule rule,
                        qsizetype mostRecords, qint64 mostBytes);
