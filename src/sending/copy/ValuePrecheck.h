#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

// A guess, made before sending, whether the server will refuse a line because one of its
// values cannot be stored in its column: a text that is no number for an integer, numeric or
// floating-point column, no truth value for a boolean, no date for a date, longer than a
// varchar(n) or char(n) allows, or NULL in a NOT NULL column.
//
// The guess only decides how a line is sent (alone, so that a refused line does not fail a
// whole COPY statement); the verdict and its message still come from the server. A line
// called bad that the server takes, or a bad line not called bad, costs time only. The guess
// is conservative where the server's reading is wider than the common forms (other date
// formats, the digit separators and prefixes newer servers read): such values are called good.
class ValuePrecheck {
public:
    // What is known of one column. A type other than those checked (by its built-in type
    // number) is not checked; typmod is the column's type modifier (-1 when none).
    struct Column {
        quint32 type = 0;
        int typmod = -1;
        bool notNull = false;
    };

    // Checks nothing: every line is good.
    ValuePrecheck() = default;
    // Columns in the order of the values.
    explicit ValuePrecheck(std::vector<Column> columns);

    // Whether the line, in COPY's text format without its line feed (CopyText.h), holds a value
    // the server is sure to refuse. Values beyond the known columns are not checked.
    bool rejects(QByteArrayView copyLine) const { return m_active && rejectsLine(copyLine); }

    // Whether one value (as COPY's text holds it: escapes not undone, "\N" for NULL) is sure to
    // be refused by its column.
    static bool rejectsValue(const Column& column, QByteArrayView value);

private:
    bool rejectsLine(QByteArrayView copyLine) const;

    std::vector<Column> m_columns;
    bool m_active = false; // some column is checked
};
