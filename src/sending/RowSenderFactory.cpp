#include "sending/RowSenderFactory.h"

#include "sending/InsertSender.h"
#include "sending/copy/CopySender.h"
#include "textfile/FieldRule.h"

std::unique_ptr<RowSender> makeRowSender(Connection& connection, const QString& table,
                                         const QString& path, FieldRule rule, bool rowByRow,
                                         RowSender::Rejected rejected,
                                         std::function<bool()> stopRequested) {
    if (rowByRow)
        return std::make_unique<InsertSender>(connection, table, path, std::move(rejected), rule);
    CopySender::Options options;
    options.stopRequested = std::move(stopRequested);
    options.fieldRule = rule;
    return std::make_unique<CopySender>(connection, table, path, std::move(rejected),
                                        std::move(options));
}
