#include "textfile/FilePreview.h"

#include "shell/Failure.h"
#include "textfile/ColumnTypes.h"
#include "textfile/FileSnapshot.h"
#include "textfile/RecordReader.h"

namespace {

// A preview reads little of a file: pieces of this size rather than the import's.
constexpr qint64 PieceSize = 64 * 1024;

bool isEmpty(const Record& record) {
    return record.fieldCount == 0 && record.problem == Record::Problem::None;
}

// The record's values as the senders make them of its fields (FieldRule.h).
PreviewRecord previewRecord(const Record& record, FieldRule rule) {
    PreviewRecord shown;
    shown.line = record.line;
    shown.values = record.fields;
    if (rule == FieldRule::Plain) {
        for (qsizetype i = 0; i < shown.values.size(); ++i) {
            shown.values[i].remove(QLatin1Char('"'));
            if (i > 0 && shown.values[i].isEmpty())
                shown.values[i] = QString();
        }
    }
    shown.fieldCount = record.fieldCount;
    shown.problem = record.problem;
    shown.problemLine = record.problemLine;
    return shown;
}

FilePreview::Encoding encodingOf(const FileSnapshot& file, const LineDecoder& decoder) {
    switch (file.converted()) {
    case FileSnapshot::Converted::Utf16LittleEndian:
        return FilePreview::Encoding::Utf16LittleEndian;
    case FileSnapshot::Converted::Utf16BigEndian:
        return FilePreview::Encoding::Utf16BigEndian;
    case FileSnapshot::Converted::None:
        break;
    }
    if (decoder.windows1252Lines() == 0)
        return FilePreview::Encoding::Utf8;
    return decoder.sawUtf8() ? FilePreview::Encoding::Utf8WithWindows1252
                             : FilePreview::Encoding::Windows1252;
}

// Where reading stopped, once the reader gave no more records or a malformed one: a quote left
// open where the snapshot ends may still close in the part of the file not read.
FilePreview::End endOf(const FileSnapshot& file, const FilePreview& preview) {
    if (!file.cut())
        return FilePreview::End::WholeFile;
    const bool malformed =
        !preview.records.isEmpty() && preview.records.last().problem != Record::Problem::None;
    return malformed && preview.records.last().problem != Record::Problem::UnclosedQuote
               ? FilePreview::End::WholeFile
               : FilePreview::End::ByteLimit;
}

void readRecords(FileSnapshot& file, const QString& separator, FieldRule rule,
                 qsizetype mostRecords, FilePreview& preview) {
    RecordReader reader(file, rule, separator, PieceSize);
    Record record;
    if (!reader.next(record)) {
        preview.noLines = true;
        return;
    }
    preview.firstLineEmpty = isEmpty(record);
    do {
        if (isEmpty(record))
            continue;
        if (preview.records.size() == mostRecords) {
            preview.end = FilePreview::End::RecordLimit;
            return;
        }
        preview.records.append(previewRecord(record, rule));
        // Known before the record after the last is read, which decodes its line too.
        preview.encoding = encodingOf(file, reader.decoder());
        if (record.problem != Record::Problem::None)
            break;
    } while (reader.next(record));
    preview.encoding = encodingOf(file, reader.decoder());
    preview.end = endOf(file, preview);
    ColumnTypes types;
    for (qsizetype k = 1; k < preview.records.size(); ++k) {
        const PreviewRecord& shown = preview.records[k];
        for (qsizetype i = 0; shown.problem == Record::Problem::None && i < shown.values.size();
             ++i)
            types.addText(i, shown.values[i]);
    }
    if (!preview.records.isEmpty())
        preview.types = types.names(preview.records.first().values.size());
}

} // namespace

FilePreview previewFile(const QString& path, const QString& separator, FieldRule rule,
                        qsizetype mostRecords, qint64 mostBytes) {
    FilePreview preview;
    try {
        const std::unique_ptr<FileSnapshot> file = FileSnapshot::openStart(path, mostBytes);
        if (!file) {
            preview.regular = false;
            return preview;
        }
        preview.note = file->note();
        readRecords(*file, separator, rule, mostRecords, preview);
    } catch (const Failure& failure) {
        preview.failure = failure.description();
        preview.records.clear();
    }
    return preview;
}
