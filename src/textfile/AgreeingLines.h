#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// What a line must be to be passed over by agreeingLines(): a whole record whose field count
// agrees, told from its bytes alone.
struct LineShape {
    char separator = ',';
    char lineEnd = '\n';
    // A byte that makes a line need a closer look (the double quote under the quoted rule), or
    // 0 for none.
    char closerLook = 0;
    // The separators an agreeing line holds: its field count minus one.
    qint64 separators = 0;
};

// How far the lines passed over go: the bytes up to and including the last one's line end.
struct AgreeingRun {
    qsizetype bytes = 0;
    qint64 lines = 0;
};

// Passes over the lines at the start of bytes, each ended by the shape's line end, while each
// is ASCII, holds no byte for a closer look, and holds the shape's separators or nothing but
// carriage returns (an empty record); stops before the first line that isn't so, before bytes
// after the last line end, and after the first line that ends at or beyond until (an offset in
// bytes). Sixteen bytes are looked at a time where the processor allows, so that a file of
// agreeing lines is checked at the speed it is read.
AgreeingRun agreeingLines(QByteArrayView bytes, const LineShape& shape, qsizetype until);

// The same, a byte at a time: what agreeingLines() must answer.
AgreeingRun agreeingLinesBytewise(QByteArrayView bytes, const LineShape& shape, qsizetype until);
