#include "sending/Statements.h"

#include <QRegularExpression>

#include <algorithm>

QString quoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString tableReference(const QString& listed) {
    // One or two parts, each a lower-case bare name or a quoted one with its quotes doubled.
    static const QRegularExpression sqlName(QStringLiteral(
        R"(^(?:[a-z_][a-z0-9_$]*|"(?:[^"]|"")+")(?:\.(?:[a-z_][a-z0-9_$]*|"(?:[^"]|"")+"))?$)"));
    const bool asSql = listed.startsWith(QLatin1Char('"')) || listed.contains(QLatin1Char('.'));
    return asSql && sqlName.match(listed).hasMatch() ? listed : quoteIdentifier(listed);
}

QString textLiteral(const QString& text) {
    QString value = text;
    value.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

QString targetColumnList(const ColumnTargets& targets, qsizetype valueCount) {
    QStringList columns = targets.fieldColumns.mid(0, std::max<qsizetype>(valueCount, 0));
    if (!targets.constantColumn.isEmpty())
        columns.append(targets.constantColumn);
    QString list = QStringLiteral("(");
    for (qsizetype i = 0; i < columns.size(); ++i)
        list += (i > 0 ? QStringLiteral(", ") : QString()) + quoteIdentifier(columns[i]);
    return list + QLatin1Char(')');
}

QString BuildInsertStatement(const QString& table, const QStringList& fields, FieldRule rule,
                             const ColumnTargets& targets) {
    QString statement = QStringLiteral("INSERT INTO ") + tableReference(table);
    if (!targets.byPosition())
        statement += QLatin1Char(' ') + targetColumnList(targets, fields.size());
    statement += QStringLiteral(" VALUES(");
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QString value = fields[i];
        const bool null = rule == FieldRule::Plain
                              ? (value.remove(QLatin1Char('"')).isEmpty() && i > 0)
                              : value.isNull();
        if (i > 0)
            statement += QLatin1Char(',');
        statement += null ? QStringLiteral("NULL") : textLiteral(value);
    }
    if (!targets.constantColumn.isEmpty())
        statement += QLatin1Char(',') + textLiteral(targets.constantValue);
    statement += QLatin1String(");");
    return statement;
}

QString BuildCreateTableStatement(const QString& table, const QStringList& columns,
                                  const QStringList& types) {
    QString statement = QStringLiteral("CREATE TABLE ") + quoteIdentifier(table) + QLatin1Char('(');
    for (qsizetype i = 0; i < columns.size(); ++i)
        statement += quoteIdentifier(columns[i]) + QLatin1Char(' ') +
                     (i < types.size() ? types[i] : QStringLiteral("TEXT")) + QStringLiteral(", ");
    statement.chop(2);
    statement += QLatin1String(");");
    return statement;
}

bool holdsNulCharacter(const QStringList& fields) {
    for (const QString& field : fields) {
        if (field.contains(QChar(0)))
            return true;
    }
    return false;
}

QString nulCharacterRejection(qint64 lineIndex, const QString& path) {
    return QStringLiteral("Line no %1 of %2 was not imported: it holds a NUL character "
                          "(code 0), which a PostgreSQL text value cannot hold.")
        .arg(lineIndex)
        .arg(path);
}
