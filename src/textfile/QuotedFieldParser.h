#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVarLengthArray>
#include <limits>

// Cuts records into fields as CSV does, with any separator text in place of the comma, one
// line of the file at a time:
//  - a field that begins with a double quote runs to the matching closing quote, and "" inside
//    it stands for one quote; the separator, line ends and carriage returns inside the quotes
//    belong to the value. After the closing quote comes the separator or the end of the record;
//  - a record ends at the end of a line outside quotes, so one record may span several lines;
//    carriage returns outside quotes are dropped;
//  - a double quote inside a field that did not begin with one is an ordinary character.
// Values follow FieldRule::Quoted: an unquoted empty field other than the first is NULL (a null
// QString), an unquoted empty first field and a quoted empty field are the empty text. A record
// whose first line is empty (carriage returns aside) has no fields.
class QuotedFieldParser {
public:
    enum class Problem {
        None,
        UnclosedQuote,  // the file ended inside a quoted value
        TextAfterQuote, // something other than the separator followed a closing quote
    };

    // lineEnd is what a line end inside quotes stands for in the value. With an empty
    // separator every record is one field.
    QuotedFieldParser(QString separator, QChar lineEnd);

    // Starts a record. Without keepValues the fields are only counted, so that a record of any
    // length takes no memory.
    void begin(bool keepValues);

    // Takes the record's next line (without its line end). Returns true once the record is
    // complete, or malformed (problem()); false when a quoted value runs on into the next line.
    bool addLine(QStringView line);

    // The file ended while addLine() asked for another line: the quote was never closed. The
    // value left open counts as the record's last field and, when values are kept, is its last
    // value as far as the file holds it.
    void endOfInput();

    // One field of a line that is a whole record by itself: where its text lies in the line
    // (without the quotes), whether it was quoted and whether a "" stands inside the quotes.
    struct LineField {
        qsizetype begin, end;
        bool quoted, doubled;
    };
    using LineFields = QVarLengthArray<LineField, 32>;

    // Cuts a line of ASCII bytes that is a whole record by itself (every quote it opens it
    // closes), as addLine() would cut it, for a separator of that one byte (neither '"' nor a
    // carriage return); false, with the fields undefined, for any other line or an empty record.
    static bool cutAsciiLine(QByteArrayView line, char separator, LineFields& fields);
    // The number of fields of such a line as addLine() counts them; 0 for an empty record, -1
    // for any other line.
    static qsizetype countAsciiLine(QByteArrayView line, char separator);

    qsizetype fieldCount() const { return m_count; }
    Problem problem() const { return m_problem; }
    // Where the problem lies, as the record's line counted from 0: the line in which the quote
    // left open was opened, or the line with text after a closing quote.
    qsizetype problemLine() const { return m_problemLine; }
    // From now on a kept value that runs past so many characters keeps only its start (at
    // least that many characters more), so that a quote left open holds little of the file.
    void capValues(qsizetype characters) { m_valueCap = characters; }

    // The values of the complete record, when they were kept.
    QStringList takeValues() { return std::move(m_values); }

private:
    bool afterQuote(QStringView line, qsizetype& pos);
    bool scanQuoted(QStringView line, qsizetype& pos);
    bool unquoted(QStringView line, qsizetype& pos);
    bool wholeLine(QStringView line);
    void addPiece(QStringView piece);
    void addUnquoted(QStringView text);
    void addQuoted();

    QString m_separator;
    QChar m_lineEnd;
    // The separator can be found: not empty, and no carriage return in it (those are dropped
    // before it is looked for, as under the plain rule).
    bool m_cuts;
    char16_t m_single; // the separator when it is one such character other than '"', else 0
    bool m_keep = true;
    bool m_inQuotes = false; // the last line ended inside a quoted value
    QStringList m_values;
    QString m_value; // the quoted value being read
    qsizetype m_valueCap = std::numeric_limits<qsizetype>::max();
    qsizetype m_count = 0;
    Problem m_problem = Problem::None;
    qsizetype m_lines = 0;     // lines of the record taken so far
    qsizetype m_quoteLine = 0; // the line in which the quote open at the line's end was opened
    qsizetype m_problemLine = 0;
};
