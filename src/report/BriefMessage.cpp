#include "report/BriefMessage.h"

#include <QRegularExpression>

namespace {

// A line that begins a part of libpq's message other than the primary message.
bool beginsPart(const QString& line) {
    static const QRegularExpression label(
        QStringLiteral("^(?:(?:DETAIL|HINT|QUERY|CONTEXT|LOCATION|STATEMENT):  |LINE \\d+: |\\t)"));
    return label.match(line).hasMatch();
}

} // namespace

QStringList briefMessageParts(const QString& description) {
    const QStringList lines = description.split(QLatin1Char('\n'));
    QString primary = lines.first();
    QString detail;
    QString* growing = &primary; // the part that lines without a label continue
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (!beginsPart(line)) {
            if (growing)
                *growing += QLatin1Char('\n') + line;
            continue;
        }
        growing = nullptr;
        if (detail.isEmpty() && line.startsWith(QLatin1String("DETAIL:  "))) {
            detail = line;
            growing = &detail;
        }
    }
    QStringList brief{primary};
    if (!detail.isEmpty())
        brief.append(detail);
    return brief;
}
