#include "import/TableNames.h"

#include "import/StoredTableName.h"

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

QString headerColumnName(const QString& field) {
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
