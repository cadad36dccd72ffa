#include "import/FieldCountCheck.h"

#include "import/RecordReader.h"

std::optional<FieldCountReport> CheckFieldCounts(RecordReader& records, qint16 expected) {
    Record record;
    if (!records.next(record, false))
        return std::nullopt;
    if (record.problem != Record::Problem::None)
        return FieldCountReport{record.line, recordReport(record)};
    while (records.next(record, false)) {
        if (record.problem != Record::Problem::None ||
            (record.fieldCount > 0 && record.fieldCount - 1 != expected))
            return FieldCountReport{record.line, recordReport(record)};
    }
    return std::nullopt;
}
