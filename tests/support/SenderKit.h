#pragma once

#include "database/Connection.h"
#include "sending/copy/CopySender.h"
#include "textfile/RecordReader.h"

#include <gtest/gtest.h>

#include <memory>

// A record of the given fields, as a RecordReader hands over a line it cut.
inline Record fieldsRecord(qint64 line, const QStringList& fields) {
    Record record;
    record.line = line;
    record.fields = fields;
    record.fieldCount = fields.size();
    return record;
}

// A record of a line's bytes, as a RecordReader hands most plain lines over; the bytes must
// outlive the record.
inline Record bytesRecord(qint64 line, const QByteArray& bytes, qsizetype fieldCount) {
    Record record;
    record.line = line;
    record.bytes = bytes;
    record.fieldCount = fieldCount;
    return record;
}

// A CopySender into the table for lines of valueCount values, as the run makes one; fails the
// test where the table does not take COPY.
inline std::unique_ptr<CopySender> copySenderFor(Connection& connection, const QString& table,
                                                 qsizetype valueCount, RowSender::Rejected rejected,
                                                 CopySender::Options options) {
    std::optional<CopyTarget> target = CopyTarget::find(connection, table, valueCount);
    EXPECT_TRUE(target.has_value()) << table.toStdString() << " takes COPY";
    if (!target)
        return nullptr;
    return std::make_unique<CopySender>(connection, std::move(*target), "data.csv", ",",
                                        std::move(rejected), std::move(options));
}
