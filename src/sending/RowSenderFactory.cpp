#include "sending/RowSenderFactory.h"

#include "sending/GroupedInsertSender.h"
#include "sending/InsertSender.h"
#include "sending/copy/CopySender.h"
#include "textfile/FieldRule.h"

std::unique_ptr<RowSender> makeRowSender(Connection& connection, const SenderChoice& choice,
                                         qsizetype valueCount, RowSender::Rejected rejected) {
    std::optional<CopyTarget> target;
    if (!choice.rowByRow)
        target = CopyTarget::find(connection, choice.table, valueCount, choice.targets);
    if (!target) {
        RowStatements statements(choice.table, choice.path, choice.rule, choice.separator,
                                 choice.targets);
        if (choice.rowByRow || !GroupedInsertSender::suits(connection, choice.table))
            return std::make_unique<InsertSender>(connection, std::move(statements),
                                                  std::move(rejected));
        GroupedInsertSender::Options options;
        options.stopRequested = choice.stopRequested;
        options.markersLeft = choice.markersLeft;
        return std::make_unique<GroupedInsertSender>(connection, std::move(statements),
                                                     std::move(rejected), std::move(options));
    }
    CopySender::Options options;
    options.stopRequested = choice.stopRequested;
    options.fieldRule = choice.rule;
    options.markersLeft = choice.markersLeft;
    return std::make_unique<CopySender>(connection, std::move(*target), choice.path,
                                        choice.separator, std::move(rejected), std::move(options));
}
