#include "report/ShownText.h"

QString shownText(const QString& text, qsizetype characters) {
    const bool cut = text.size() > characters;
    QStringView kept = QStringView(text).left(characters);
    if (cut && !kept.isEmpty() && kept.back().isHighSurrogate())
        kept.chop(1); // half a character is none
    QString shown;
    shown.reserve(kept.size() + 8);
    for (const QChar c : kept) {
        if (c.unicode() < 0x20)
            shown += QLatin1Char('^') + QChar(c.unicode() + 0x40);
        else if (c.unicode() == 0x7f)
            shown += QStringLiteral("^?");
        else
            shown += c;
    }
    if (cut)
        shown += QChar(0x2026);
    return shown;
}
