#include "textfile/FieldCountCheck.h"

#include "shell/NumberText.h"
#include "textfile/ColumnTypes.h"
#include "textfile/RecordReader.h"

QString FieldCountReport::recordText() const {
    return QStringLiteral("Line no ") + QString::number(line) + QStringLiteral(": ") + shownText();
}

QString FieldCountReport::shownText() const {
    QString shown = text;
    if (moreCharacters == 1)
        shown += QStringLiteral(" \u2026 (1 more character)");
    else if (moreCharacters > 1)
        shown += QStringLiteral(" \u2026 (%1 more characters)").arg(groupedCount(moreCharacters));
    return shown;
}

QString FieldCountReport::why(int firstLine) const {
    const qint64 number = problemLine + firstLine;
    if (problem == Problem::UnclosedQuote)
        return QStringLiteral("The quote opened in line %1 is never closed.").arg(number);
    if (problem == Problem::TextAfterQuote)
        return QStringLiteral("A closing quote in line %1 is followed by text instead of the "
                              "separator or the line's end.")
            .arg(number);
    return {};
}

QString FieldCountReport::windowText() const {
    return problem == Problem::None ? recordText() : recordText() + QLatin1Char('\n') + why();
}

std::optional<FieldCountReport> CheckFieldCounts(RecordReader& records, qint16 expected,
                                                 const std::function<bool()>& stop, bool* stopped,
                                                 ColumnTypes* types) {
    Record record;
    if (!records.next(record, false))
        return std::nullopt;
    if (record.problem != Record::Problem::None)
        return recordReport(record);
    return CheckLaterFieldCounts(records, expected, stop, stopped, types);
}

std::optional<FieldCountReport> CheckLaterFieldCounts(RecordReader& records, qint16 expected,
                                                      const std::function<bool()>& stop,
                                                      bool* stopped, ColumnTypes* types) {
    if (types) {
        records.keepLinesAsBytes();
        records.capValues(ColumnTypes::LongestValue);
    }
    Record record;
    qint64 count = 0;
    qint64 stopAskedAt = 0;
    for (;;) {
        // Lines that need no closer look are passed over many at a time; the values of a typed
        // check are each looked at.
        if (!types)
            count += records.passAgreeing(expected);
        if (!records.next(record, types != nullptr))
            return std::nullopt;
        ++count;
        if (record.problem != Record::Problem::None ||
            (record.fieldCount > 0 && record.fieldCount - 1 != expected))
            return recordReport(record);
        if (types)
            types->add(record, records.rule(), records.separatorBytes(), &records.asciiFields());
        if (stop && count - stopAskedAt >= StopCheckRecords) {
            stopAskedAt = count;
            if (stop()) {
                if (stopped)
                    *stopped = true;
                return std::nullopt;
            }
        }
    }
}
