#include "import/Statements.h"

#include "import/StoredTableName.h"

#include <QVarLengthArray>

QStringList SplitFields(const QString& line, const QString& separator) {
    if (line.isEmpty())
        return {};
    if (separator.isEmpty())
        return {line};
    // This runs for every data line of every file, so the cut positions are found in one pass
    // and the list is sized once (QString::split grows its list step by step).
    QVarLengthArray<qsizetype, 64> cuts;
    if (separator.size() == 1) {
        const char16_t wanted = separator.front().unicode();
        const QChar* data = line.constData();
        for (qsizetype i = 0, n = line.size(); i < n; ++i) {
            if (data[i].unicode() == wanted)
                cuts.append(i);
        }
    } else {
        for (qsizetype at = line.indexOf(separator); at >= 0;
             at = line.indexOf(separator, at + separator.size()))
            cuts.append(at);
    }
    QStringList fields;
    fields.reserve(cuts.size() + 1);
    qsizetype start = 0;
    for (const qsizetype at : cuts) {
        fields.append(line.sliced(start, at - start));
        start = at + separator.size();
    }
    fields.append(line.sliced(start));
    return fields;
}

QString quoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString BuildInsertStatement(const QString& table, const QStringList& fields, FieldRule rule) {
    QString statement =
        QStringLiteral("INSERT INTO ") + quoteIdentifier(table) + QStringLiteral(" VALUES(");
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QString value = fields[i];
        const bool null = rule == FieldRule::Plain
                              ? (value.remove(QLatin1Char('"')).isEmpty() && i > 0)
                              : value.isNull();
        value.replace(QLatin1Char('\''), QLatin1String("''"));
        if (i > 0)
            statement += QLatin1Char(',');
        if (null)
            statement += QLatin1String("NULL");
        else
            statement += QLatin1Char('\'') + value + QLatin1Char('\'');
    }
    statement += QLatin1String(");");
    return statement;
}

QString ExpandTableName(const QString& nameTemplate, int position) {
    QString name = nameTemplate;
    name.replace(QLatin1String("[counter]"), QString::number(position), Qt::CaseSensitive);
    return name;
}

bool IsInListBox(const QStringList& list, const QString& text) {
    const QString wanted = text.toLower();
    for (const QString& entry : list) {
        if (entry.toLower() == wanted)
            return true;
    }
    return false;
}

QString FilterCharacters(const QString& text, const QString& set, bool keep) {
    QString result;
    for (const QChar c : text) {
        if (set.contains(c, Qt::CaseSensitive) == keep)
            result += c;
    }
    return result;
}

QString LettersAndDigitsOnly(const QString& text) {
    static const QString allowed =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    return FilterCharacters(text, allowed, true);
}

QString HeaderColumnName(const QString& field) {
    QString name;
    for (const QChar c : field) {
        if (name.size() == StoredTableName::MaxBytes)
            break;
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9'))
            name += c;
    }
    return name;
}

QString BuildCreateTableStatement(const QString& table, const QStringList& columns) {
    QString statement = QStringLiteral("CREATE TABLE ") + quoteIdentifier(table) + QLatin1Char('(');
    for (const QString& column : columns)
        statement += quoteIdentifier(column) + QStringLiteral(" TEXT, ");
    statement.chop(2);
    statement += QLatin1String(");");
    return statement;
}

qsizetype FieldCount(const QString& line, const QString& separator) {
    if (line.isEmpty())
        return 0;
    if (separator.isEmpty())
        return 1;
    if (separator.size() == 1) {
        const char16_t wanted = separator.front().unicode();
        qsizetype count = 1;
        for (const QChar c : line)
            count += c.unicode() == wanted;
        return count;
    }
    qsizetype count = 1;
    for (qsizetype at = line.indexOf(separator); at >= 0;
         at = line.indexOf(separator, at + separator.size()))
        ++count;
    return count;
}

bool HoldsNulCharacter(const QStringList& fields) {
    for (const QString& field : fields) {
        if (field.contains(QChar(0)))
            return true;
    }
    return false;
}

QString NulCharacterRejection(qint64 lineIndex, const QString& path) {
    return QStringLiteral("Line no %1 of %2 was not imported: it holds a NUL character "
                          "(code 0), which a PostgreSQL text value cannot hold.")
        .arg(lineIndex)
        .arg(path);
}
