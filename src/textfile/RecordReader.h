#pragma once

#include "textfile/FieldCountCheck.h"
#include "textfile/FieldRule.h"
#include "textfile/FileRange.h"
#include "textfile/LineDecoder.h"
#include "textfile/LineReader.h"
#include "textfile/QuotedFieldParser.h"
#include "textfile/Record.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class FileSnapshot;

// Reads the records of a file snapshot from its start, each line decoded by LineDecoder, the
// fields cut by the rule: Plain cuts every line at every separator (SplitFields) after dropping
// its carriage returns, Quoted reads fields as CSV does (QuotedFieldParser). Memory holds one
// piece of the file and the current record; without fields, only its first line.
class RecordReader {
public:
    // Reads from the snapshot's start, or the range's records only. The file is read in pieces
    // of chunkSize bytes.
    RecordReader(FileSnapshot& file, FieldRule rule, const QString& separator,
                 qint64 chunkSize = 1 << 20, FileRange range = {});

    // The next record, or false after the last one. Without withFields only the fields are
    // counted. Throws Failure when the file can't be read; when it became shorter than its
    // snapshot and expectLines() was told how many lines it had, the text names the last line
    // of the last whole record read (counted from 1) and how many lines were not read.
    bool next(Record& record, bool withFields = true);

    // Passes over the records ahead that need no closer look: lines read ahead (LineReader::
    // ahead()) that are ASCII, free of double quotes under the quoted rule, and hold
    // expected + 1 fields or nothing but carriage returns. next() would read them as records
    // that agree; they are counted, and their starts noted, as next() counts and notes them.
    // Returns how many were passed over: none where the separator is not one ASCII byte (or is
    // the quote under the quoted rule), or lines come as bytes.
    qint64 passAgreeing(qint16 expected);

    // The lines read so far, as an editor counts them (LineReader::linesRead()).
    qint64 linesRead() const { return m_lines.linesRead(); }

    // The index of the line after the last record read (that record's lines end before it).
    qint64 lineAfter() const { return m_nextLine; }

    // How many lines the file had when it was read whole (linesRead() at its end).
    void expectLines(qint64 lines) { m_expectedLines = lines; }

    const LineDecoder& decoder() const { return m_decoder; }

    // Where the next record begins.
    RecordStart nextStart() const { return {m_lines.offset(), m_nextLine}; }

    // From now on notes where a record begins about every so many bytes: the first record that
    // begins at least that far after the last one noted (recordStarts()), so that the file can
    // later be cut into ranges there.
    void noteRecordStartsEvery(qint64 bytes) {
        m_startSpacing = bytes;
        m_nextStartAt = m_lines.offset() + bytes;
    }
    const std::vector<RecordStart>& recordStarts() const { return m_starts; }

    FieldRule rule() const { return m_rule; }
    // Under the quoted rule, where the fields of the last record handed over as bytes lie in
    // it (QuotedFieldParser::cutAsciiLine()).
    const QuotedFieldParser::LineFields& asciiFields() const { return m_asciiFields; }
    // The separator's UTF-8 bytes.
    QByteArrayView separatorBytes() const { return m_separatorUtf8; }

    // From now on a quoted value longer than so many characters keeps only its start
    // (QuotedFieldParser::capValues()).
    void capValues(qsizetype characters) { m_parser.capValues(characters); }

    // From now on a plain line that is valid UTF-8 comes as its bytes (Record::bytes), uncut,
    // so that no text is made of it; other lines still come as text and fields.
    void keepLinesAsBytes() { m_keepAsBytes = true; }

private:
    bool read(Record& record, bool withFields);
    // The rest of read() for a record's first line, under each rule.
    void readPlain(QByteArrayView bytes, Record& record, bool withFields);
    void readQuoted(QByteArrayView bytes, Record& record, bool withFields);
    QByteArrayView withoutReturns(QByteArrayView bytes);
    void noteStartPassed();

    FieldRule m_rule;
    QString m_separator;
    QByteArray m_separatorUtf8;
    bool m_byteSeparator; // one ASCII byte, counted on the bytes of every line
    bool m_keepAsBytes = false;
    LineReader m_lines;
    LineDecoder m_decoder;
    QuotedFieldParser m_parser;
    QuotedFieldParser::LineFields m_asciiFields;
    QByteArray m_scratch; // a plain line without its carriage returns
    qint64 m_nextLine = 0;
    qint64 m_wholeLines = 0; // the lines of the records read whole
    qint64 m_expectedLines = -1;
    qint64 m_startSpacing = 0; // 0: no record starts are noted
    qint64 m_nextStartAt = 0;
    std::vector<RecordStart> m_starts;
};

// The field-count report of a record: its first line without carriage returns, at most
// FieldCountReport::ShownCharacters of it, the characters left out counted, and under the
// quoted rule why the record ends there. Never copies the line whole. Call it before the next
// record is read.
FieldCountReport recordReport(const Record& record);

// Throws Failure when a record of the file at path no longer reads as the field-count check read
// it whole (a malformed record now): the file was written to in place while it was imported.
void expectUnchanged(const Record& record, const QString& path);

// The fields of the file's first record, the header: none for an empty file or a malformed
// first record (which the field-count check reports). Under the quoted rule the record is
// counted first, so that a quote left open holds nothing of the file in memory. Throws Failure
// when the file can't be read.
QStringList readHeader(FileSnapshot& file, FieldRule rule, const QString& separator);
