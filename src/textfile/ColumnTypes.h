#pragma once

#include "textfile/FieldRule.h"
#include "textfile/QuotedFieldParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

struct Record;

// The SQL type of each column of a file, decided over every value the file holds: the narrowest
// of BOOLEAN, INTEGER, BIGINT, NUMERIC, DATE, TIMESTAMP and TIMESTAMPTZ that every non-empty
// value of the column is written in, else TEXT. Only forms that the server reads back as the
// same value are taken (candidates()); anything else, a column without a value too, is TEXT.
class ColumnTypes {
public:
    enum Type : quint8 {
        Boolean = 1,
        Integer = 2,
        BigInt = 4,
        Numeric = 8,
        Date = 16,
        Timestamp = 32,
        TimestampTz = 64,
    };
    static constexpr quint8 All = 127;
    // The longest value taken for anything but text.
    static constexpr qsizetype LongestValue = 1000;

    // The types a value (its bytes; ASCII only) is written in, as a set of Type bits; 0 for
    // text. The value must not be empty.
    //  - BOOLEAN: t, f, true, false in any case;
    //  - INTEGER and BIGINT: an optional minus, then 0 or digits without a leading zero, within
    //    the type's range; not a negative zero;
    //  - NUMERIC: the same, or with a point and at least one digit after it, or NaN;
    //  - DATE: YYYY-MM-DD of a day that exists, years 0001 to 9999; infinity and -infinity;
    //  - TIMESTAMP: a date, then a space or T and HH:MM, HH:MM:SS or HH:MM:SS.f with 1 to 6
    //    digits of fraction (hours to 23, seconds to 59); a date alone as its midnight;
    //  - TIMESTAMPTZ: such a timestamp followed by Z, +HH, +HH:MM or +HHMM (or minus; hours
    //    to 14, minutes to 59).
    static quint8 candidates(QByteArrayView value);

    // Takes the values of one data record (an empty record has none), as the rule reads them.
    // Under the quoted rule a record as bytes comes with where its fields lie (RecordReader).
    void add(const Record& record, FieldRule rule, QByteArrayView separator,
             const QuotedFieldParser::LineFields* asciiFields = nullptr);
    // Takes one value of a column (counted from 0); empty values are passed over.
    void addValue(qsizetype column, QByteArrayView value);
    void addText(qsizetype column, const QString& value);

    // The type of each of so many columns, as CREATE TABLE names it.
    QStringList names(qsizetype columns) const;
    // The SQL name of a type bit set's narrowest type; TEXT for none.
    static QString name(quint8 types);

private:
    // Whether the column held a value and its type is other than TEXT.
    bool typed(qsizetype column) const;
    void addPlainField(qsizetype column, QByteArrayView field);
    void addPlainLine(QByteArrayView line, char separator, bool unescaped);
    void addPlainLine(QByteArrayView line, QByteArrayView separator);

    std::vector<quint8> m_types; // the types every value so far is written in
    std::vector<bool> m_seen;    // whether the column has held a value
    QByteArray m_scratch;
};
