#include "textfile/FieldSplitting.h"

#include "textfile/QuotedFieldParser.h"

#include <QVarLengthArray>

#include <algorithm>

namespace {

// The fields of a non-empty line cut at a separator of more than one character (or byte).
template <typename Text, typename Separator>
qsizetype longSeparatorFieldCount(const Text& line, const Separator& separator) {
    qsizetype count = 1;
    for (qsizetype at = line.indexOf(separator); at >= 0;
         at = line.indexOf(separator, at + separator.size()))
        ++count;
    return count;
}

} // namespace

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

qsizetype fieldCount(const QString& line, const QString& separator) {
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
    return longSeparatorFieldCount(line, separator);
}

qsizetype fieldCountFromBytes(QByteArrayView line, QByteArrayView separator) {
    if (line.isEmpty())
        return 0;
    if (separator.isEmpty())
        return 1;
    if (separator.size() == 1)
        return 1 + std::count(line.begin(), line.end(), separator.front());
    return longSeparatorFieldCount(line, separator);
}

QStringList fieldsFromBytes(QByteArrayView line, QByteArrayView separator) {
    QStringList fields;
    if (line.isEmpty())
        return fields;
    if (separator.isEmpty())
        return {QString::fromUtf8(line)};
    qsizetype from = 0;
    for (qsizetype at = line.indexOf(separator); at >= 0; at = line.indexOf(separator, from)) {
        fields.append(QString::fromUtf8(line.sliced(from, at - from)));
        from = at + separator.size();
    }
    fields.append(QString::fromUtf8(line.sliced(from)));
    return fields;
}

QStringList valuesFromBytes(QByteArrayView line, QByteArrayView separator, FieldRule rule) {
    const QString text = QString::fromUtf8(line);
    if (rule == FieldRule::Plain)
        return SplitFields(text, QString::fromUtf8(separator));
    QuotedFieldParser parser(QString::fromUtf8(separator), QLatin1Char('\n'));
    parser.begin(true);
    parser.addLine(text);
    return parser.takeValues();
}
