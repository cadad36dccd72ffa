#pragma once

#include "textfile/ColumnTypes.h"
#include "textfile/FieldCountCheck.h"
#include "textfile/FieldRule.h"
#include "textfile/FileSnapshot.h"
#include "textfile/RecordReader.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// One file of an import run as the run reads it: opened once for its turn (FileSnapshot), its
// header, the field-count check and then its data records, all of the same bytes and by the
// same rule. Every call may throw Failure with the file system's text.
class InputFile {
public:
    // With detectTypes the field-count check also decides the type of each column over the
    // values of every record after the first (columnTypes()).
    InputFile(FieldRule rule, QString separator, bool detectTypes = false);

    // Opens the file for its turn; false when cancelled answered true while the file was
    // awaited (a pipe without a writer), and nothing is open then.
    bool open(const QString& path, const std::function<bool()>& cancelled);
    void close();

    FieldRule rule() const { return m_rule; }
    const QString& separator() const { return m_separator; }
    // The snapshot of the open file; null when none is open.
    FileSnapshot* snapshot() { return m_file.get(); }

    // Reads the header, the fields of the first record (none when not open).
    void readHeader();
    const QStringList& header() const { return m_header; }
    // Why the header has no fields, when that is not a malformed first record (which the
    // field-count check reports): the file has no line at all, or its first line is empty
    // (carriage returns aside). Known once readHeader() ran.
    bool noLines() const { return m_noLines; }
    bool firstLineEmpty() const { return m_firstLineEmpty; }

    // Throws Failure (Overflow) when the header has more fields than the field-count check
    // takes.
    void checkWidth() const;

    struct Checked {
        std::optional<FieldCountReport> report; // the report that ends the run
        QStringList notes;                      // what to tell the user about how the file was read
        bool cancelled = false;                 // the file was awaited and the user stopped the run
        // The compressed content broke off before its end (FileSnapshot::damage()): why, and
        // the first line that could not be read; the lines before it are the file's.
        QString damage;
        qint64 firstLineNotRead = 0;
    };
    // The field-count check against the header. A file that did not open is opened again
    // here, so that what kept it from opening is thrown again. stopCheck, when given, is also
    // asked while the records are counted: a stop there answers cancelled, the file unchecked.
    Checked check(const std::function<bool()>& cancelled,
                  const std::function<bool()>& stopCheck = {});

    // The type of each of the header's columns as CREATE TABLE names it, once the check read
    // every record; empty without detectTypes.
    QStringList columnTypes() const;

    // Whether the file's compressed content broke off before its end (Checked::damage).
    bool brokenOff() const { return m_file && !m_file->damage().isEmpty(); }

    // The records after the first (from the first when fromFirst: a file without a header
    // line), for sending; plain lines of valid UTF-8 come as bytes
    // (RecordReader::keepLinesAsBytes()). Once the check read the whole file, a file found
    // shorter is reported with the lines that were not read (RecordReader::expectLines()).
    // The file must be open.
    RecordReader dataRecords(bool fromFirst = false);

    // Has the field-count check note where records begin about every so many bytes (0: none),
    // so that the data records can be cut into ranges without another reading.
    void noteRecordStartsEvery(qint64 bytes) { m_startSpacing = bytes; }
    // Has the field-count check of a file of at least so many bytes (0: none) read its two
    // halves at once (checkInHalves()), for a run over several connections.
    void checkInHalvesFrom(qint64 bytes) { m_halvesFrom = bytes; }
    // The data records (as dataRecords() gives them) cut into at most `parts` ranges of at
    // least minimumBytes at the record starts the check noted (divideRecords()); one range
    // when none were noted.
    std::vector<FileRange> dataRanges(bool fromFirst, int parts, qint64 minimumBytes);
    // The records of one of those ranges, as dataRecords() hands them over. Readers of ranges
    // may read on several threads at once.
    RecordReader rangeRecords(const FileRange& range);

private:
    void passed(Checked& checked, qint64 lines, std::vector<RecordStart> starts,
                const LineDecoder& decoder);

    FieldRule m_rule;
    QString m_separator;
    QString m_path;
    std::unique_ptr<FileSnapshot> m_file;
    QStringList m_header;
    bool m_noLines = false;
    bool m_firstLineEmpty = false;
    qint64 m_lines = -1; // the lines the check read, -1 before it read them all
    qint64 m_startSpacing = 0;
    qint64 m_halvesFrom = 0;
    std::vector<RecordStart> m_starts; // noted by the check
    bool m_detectTypes = false;
    std::optional<ColumnTypes> m_types; // decided by the check, with m_detectTypes
};
