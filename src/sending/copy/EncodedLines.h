#pragma once

#include "sending/ColumnTargets.h"
#include "textfile/FieldRule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <limits>
#include <map>
#include <optional>
#include <vector>

struct Record;

// The lines of a COPY sender that are not yet settled, each encoded as COPY text (a line feed
// at its end), one after another in one buffer, in file order: those of the chunk being sent
// first, then those that wait behind it. Lines are numbered from 0 here (their position);
// each also carries its index in the file. Under targets with a constant column every line
// ends with the constant value as one more value, after the record's own, and an empty value
// of a typed column is NULL (TypedEmptyValues.h).
//
// A line set aside (setAside()) keeps its place in the order but none in the buffer: its text
// is kept beside it, so that a COPY of the buffer's text passes over it, and it goes on its own.
class EncodedLines {
public:
    explicit EncodedLines(const ColumnTargets& targets = {});

    struct Line {
        qint64 index = 0;     // its index in the file
        qsizetype offset = 0; // start of its text in the buffer
        bool alone = false;   // sent by itself as a row statement, not in a COPY
        bool aside = false;   // sent alone, its text kept beside the buffer (setAside())
    };

    struct Encoded {
        qsizetype offset = 0;     // where its text begins
        qsizetype valueCount = 0; // the values it holds
    };
    // Writes a record's COPY text at the end of the buffer (CopyText.h), from its fields or,
    // for a record as bytes, from the bytes where they serve (the separator cuts them); then
    // add() it. Nothing is written for a record holding the NUL character, which no text value
    // can hold. Room for reserveBytes is kept, so that appending rarely moves the buffer.
    std::optional<Encoded> encode(const Record& record, QByteArrayView separator, FieldRule rule,
                                  qsizetype reserveBytes);
    void add(qint64 index, qsizetype offset, bool alone) {
        m_lines.push_back({index, offset, alone, false});
    }
    // Adds the line just written at offset as one set aside: its text leaves the buffer.
    void setAside(qint64 index, qsizetype offset);
    // How many of lines [begin, end) are in the buffer (not set aside): what their text carries.
    qsizetype carried(qsizetype begin, qsizetype end) const;
    // The line that is the nth (from 1) of those carried from begin on, or -1 when none is.
    qsizetype carriedAt(qsizetype begin, qsizetype n) const;

    qsizetype count() const { return static_cast<qsizetype>(m_lines.size()); }
    bool empty() const { return m_lines.empty(); }
    const Line& operator[](qsizetype line) const { return m_lines[line]; }
    // The start of a line's text, or the end of the buffer for count().
    qsizetype offset(qsizetype line) const {
        return line < count() ? m_lines[line].offset : m_data.size();
    }
    // The file index of a line, or the largest qint64 for count(): the bound below which the
    // lines before it lie.
    qint64 boundary(qsizetype line) const {
        return line < count() ? m_lines[line].index : std::numeric_limits<qint64>::max();
    }
    // The text of lines [begin, end), line feeds included; lines set aside have none here.
    QByteArrayView text(qsizetype begin, qsizetype end) const {
        return QByteArrayView(m_data).sliced(offset(begin), offset(end) - offset(begin));
    }
    // The file indices of the lines, in order.
    std::vector<qint64> indices() const;
    // The fields a line's text gives back (CopyText.h), the constant value left out.
    QStringList fields(qsizetype line) const;
    qsizetype bytes() const { return m_data.size(); }
    // The text of the lines set aside, held beside the buffer.
    qsizetype asideBytes() const { return m_asideBytes; }
    // The buffer from an offset to its end.
    QByteArrayView bytesFrom(qsizetype offset) const {
        return QByteArrayView(m_data).sliced(offset);
    }

    // Forgets lines [0, end); returns the bytes they took.
    qsizetype release(qsizetype end);
    // Forgets lines from keep on.
    void truncate(qsizetype keep);
    void clear();

private:
    void endLine();
    void forgetAside(std::map<qint64, QByteArray>::iterator begin,
                     std::map<qint64, QByteArray>::iterator end);

    std::vector<bool> m_nullWhenEmpty; // ColumnTargets::nullWhenEmpty
    std::vector<Line> m_lines;
    QByteArray m_data;
    std::map<qint64, QByteArray> m_asideText; // of the lines set aside, by file index
    qsizetype m_asideBytes = 0;
    QByteArray m_lineEnd; // what ends every line: its line feed, after the constant if any
};
