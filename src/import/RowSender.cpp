#include "import/RowSender.h"

#include "import/FieldRule.h"
#include "import/QuotedFieldParser.h"
#include "import/RecordReader.h"
#include "import/Statements.h"

void RowSender::sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                         qsizetype /*fieldCount*/) {
    send(lineIndex, Utf8LineFields(line, separator, FieldRule::Plain));
}

void RowSender::sendRecord(const Record& record, QByteArrayView separator) {
    if (record.utf8.isNull())
        send(record.line, record.fields);
    else
        sendUtf8(record.line, record.utf8, separator, record.fieldCount);
}

QStringList Utf8LineFields(QByteArrayView line, QByteArrayView separator, FieldRule rule) {
    const QString text = QString::fromUtf8(line);
    if (rule == FieldRule::Plain)
        return SplitFields(text, QString::fromUtf8(separator));
    QuotedFieldParser parser(QString::fromUtf8(separator), QLatin1Char('\n'));
    parser.begin(true);
    parser.addLine(text);
    return parser.takeValues();
}
