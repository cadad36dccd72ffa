#include "sending/RowStatements.h"

#include "sending/Statements.h"
#include "sending/TypedEmptyValues.h"
#include "textfile/FieldSplitting.h"
#include "textfile/RecordReader.h"

RowStatements::RowStatements(QString table, QString path, FieldRule rule, QByteArray separator,
                             ColumnTargets targets)
    : m_table(std::move(table))
    , m_path(std::move(path))
    , m_rule(rule)
    , m_separator(std::move(separator))
    , m_targets(std::move(targets))
    , m_fromBytes(m_table, m_targets) {}

RowStatements::Made RowStatements::make(const Record& record) const {
    if (auto values = typedEmptyValues(record, m_separator, m_rule, m_targets.nullWhenEmpty))
        return fromFields(record.line, *values, FieldRule::Quoted);
    if (record.bytes.isNull())
        return fromFields(record.line, record.fields, m_rule);
    if (m_rule != FieldRule::Plain)
        return fromFields(record.line, valuesFromBytes(record.bytes, m_separator, m_rule), m_rule);
    if (record.bytes.contains('\0'))
        return {{}, nulCharacterRejection(record.line, m_path)};
    return {m_fromBytes.build(record.bytes, m_separator), {}};
}

RowStatements::Made RowStatements::fromFields(qint64 lineIndex, const QStringList& fields,
                                              FieldRule rule) const {
    if (holdsNulCharacter(fields))
        return {{}, nulCharacterRejection(lineIndex, m_path)};
    return {BuildInsertStatement(m_table, fields, rule, m_targets).toUtf8(), {}};
}
