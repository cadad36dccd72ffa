#pragma once

#include <QByteArrayView>

// What one pass over a plain line finds: its separator bytes, its carriage returns, whether
// every byte is ASCII, and whether some byte is one that a value's COPY text escapes or the
// plain rule drops (a backslash, a double quote, the NUL character or another control
// character up to the tab, the tab itself unless it separates).
// Lines are looked at sixteen bytes at a time where the processor allows, so that the common
// line costs a few instructions per sixteen bytes; every question is answered in that pass.
struct LineScan {
    qsizetype separators = 0;
    qsizetype returns = 0;
    bool ascii = true;
    bool unescaped = true;
};

LineScan scanLine(QByteArrayView bytes, char separator);

// The same, a byte at a time: what scanLine() must answer for every line.
LineScan scanLineBytewise(QByteArrayView bytes, char separator);
