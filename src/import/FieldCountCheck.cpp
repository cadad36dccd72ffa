#include "import/FieldCountCheck.h"

#include "import/ProgressMeter.h"
#include "import/RecordReader.h"

QString FieldCountReport::recordText() const {
    QString shown =
        QStringLiteral("Line no ") + QString::number(line) + QStringLiteral(": ") + text;
    if (moreCharacters == 1)
        shown += QStringLiteral(" \u2026 (1 more character)");
    else if (moreCharacters > 1)
        shown += QStringLiteral(" \u2026 (%1 more characters)").arg(groupedCount(moreCharacters));
    return shown;
}

QString FieldCountReport::windowText() const {
    return why.isEmpty() ? recordText() : recordText() + QLatin1Char('\n') + why;
}

std::optional<FieldCountReport> CheckFieldCounts(RecordReader& records, qint16 expected) {
    Record record;
    if (!records.next(record, false))
        return std::nullopt;
    if (record.problem != Record::Problem::None)
        return recordReport(record);
    while (records.next(record, false)) {
        if (record.problem != Record::Problem::None ||
            (record.fieldCount > 0 && record.fieldCount - 1 != expected))
            return recordReport(record);
    }
    return std::nullopt;
}
