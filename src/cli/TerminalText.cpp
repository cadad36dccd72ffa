#include "cli/TerminalText.h"

namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString visible(const QString& text, bool keepLineFeeds) {
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (!isControl(c) || c == u'\t' || (keepLineFeeds && c == u'\n')) {
            out.append(qc);
        } else if (c < 0x20) {
            out.append(QLatin1Char('^'));
            out.append(QChar(char16_t(c + 0x40)));
        } else if (c == 0x7F) {
            out.append(QLatin1String("^?"));
        } else {
            out.append(QStringLiteral("<U+%1>").arg(int(c), 4, 16, QLatin1Char('0')).toUpper());
        }
    }
    return out;
}

} // namespace

QString terminalText(const QString& text) {
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return visible(lines, true);
}

QString terminalLine(const QString& text) {
    return visible(text, false);
}
