#include "sending/RowSender.h"
#include "textfile/FieldSplitting.h"

#include "sending/Statements.h"
#include "textfile/FieldRule.h"
#include "textfile/QuotedFieldParser.h"
#include "textfile/RecordReader.h"

void RowSender::sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                         qsizetype /*fieldCount*/) {
    send(lineIndex, valuesFromBytes(line, separator, FieldRule::Plain));
}

void RowSender::sendRecord(const Record& record, QByteArrayView separator) {
    if (record.utf8.isNull())
        send(record.line, record.fields);
    else
        sendUtf8(record.line, record.utf8, separator, record.fieldCount);
}
