#include "report/ShownText.h"

QString shownText(const QString& text, qsizetype characters) {
    const bool cut = text.size() > characters;
    QString shown = text.left(characters);
    if (cut && !shown.isEmpty() && shown.back().isHighSurrogate())
        shown.chop(1); // half a character is none
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    }
    if (cut)
        shown += QChar(0x2026);
    return shown;
}
