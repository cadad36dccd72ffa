#include "import/HeaderColumns.h"
#include "import/TableNames.h"

#include "sending/Statements.h"

#include <QHash>
#include <QList>

namespace {

// How many field numbers one list names, and how many names given twice are named, before the
// rest are only counted: a line of 30,000 commas gives one sentence, not 30,000 numbers.
constexpr qsizetype NamedFields = 10;
constexpr qsizetype NamedDuplicates = 3;

// "field 4", "fields 1 and 3", "fields 1, 2 and 5", "fields 1, 2, ..., 10 and 7 more".
QString fieldList(const QList<qsizetype>& fields) {
    QStringList named;
    for (qsizetype i = 0; i < fields.size() && i < NamedFields; ++i)
        named.append(QString::number(fields[i]));
    if (fields.size() == 1)
        return QStringLiteral("field ") + named.first();
    if (fields.size() > NamedFields)
        return QStringLiteral("fields %1 and %2 more")
            .arg(named.join(QStringLiteral(", ")))
            .arg(fields.size() - NamedFields);
    const QString last = named.takeLast();
    return QStringLiteral("fields ") + named.join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           last;
}

} // namespace

HeaderColumns::HeaderColumns(const QStringList& header) {
    QList<qsizetype> unnamed;
    QHash<QString, QList<qsizetype>> fieldsOf; // the fields that give each name
    QStringList givenTwice;                    // in the order of their second field
    m_names.reserve(header.size());
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString name = headerColumnName(header[i]);
        m_names.append(name);
        if (name.isEmpty()) {
            unnamed.append(i + 1);
            continue;
        }
        QList<qsizetype>& fields = fieldsOf[name];
        fields.append(i + 1);
        if (fields.size() == 2)
            givenTwice.append(name);
    }

    QStringList problems;
    if (!unnamed.isEmpty())
        problems.append(fieldList(unnamed) +
                        (unnamed.size() == 1 ? QStringLiteral(" gives") : QStringLiteral(" give")) +
                        QStringLiteral(" no column name (a name is made of a field's ASCII "
                                       "letters and digits)"));
    for (qsizetype i = 0; i < givenTwice.size() && i < NamedDuplicates; ++i)
        problems.append(QStringLiteral("%1 give the same column name \"%2\"")
                            .arg(fieldList(fieldsOf.value(givenTwice[i])), givenTwice[i]));
    if (givenTwice.size() > NamedDuplicates)
        problems.append(QStringLiteral("%1 more names are given by more than one field")
                            .arg(givenTwice.size() - NamedDuplicates));
    if (problems.isEmpty())
        return;
    m_problem = QStringLiteral("in the first line, ") + problems.join(QStringLiteral(", and "));
}
