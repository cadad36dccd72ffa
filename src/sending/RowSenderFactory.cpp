#include "sending/RowSenderFactory.h"

#include "sending/GroupedInsertSender.h"
#include "sending/InsertSender.h"
#include "sending/SmallFileSender.h"
#include "sending/copy/CopySender.h"
#include "textfile/FieldRule.h"

namespace {

std::unique_ptr<RowSender> groupedSender(Connection& connection, const SenderChoice& choice,
                                         RowSender::Rejected rejected) {
    GroupedInsertSender::Options options;
    options.stopRequested = choice.stopRequested;
    options.markersLeft = choice.markersLeft;
    return std::make_unique<GroupedInsertSender>(
        connection,
        RowStatements(choice.table, choice.path, choice.rule, choice.separator, choice.targets),
        std::move(rejected), std::move(options));
}

std::unique_ptr<RowSender> copySender(Connection& connection, const SenderChoice& choice,
                                      CopyTarget target, RowSender::Rejected rejected) {
    CopySender::Options options;
    options.stopRequested = choice.stopRequested;
    options.fieldRule = choice.rule;
    options.markersLeft = choice.markersLeft;
    options.committed = choice.committed;
    return std::make_unique<CopySender>(connection, std::move(target), choice.path,
                                        choice.separator, std::move(rejected), std::move(options));
}

} // namespace

std::unique_ptr<RowSender> makeRowSender(Connection& connection, const SenderChoice& choice,
                                         qsizetype valueCount, RowSender::Rejected rejected) {
    std::optional<CopyTarget> target;
    if (!choice.rowByRow)
        target = choice.foundTarget && choice.foundTarget->valueCount == valueCount
                     ? *choice.foundTarget
                     : CopyTarget::find(connection, choice.table, valueCount, choice.targets);
    if (target) {
        // A file of no more lines than a group goes as that group: one round trip, where COPY
        // takes two.
        return std::make_unique<SmallFileSender>(
            GroupedInsertSender::Options().groupLines,
            [&connection, choice, target = std::move(*target), rejected] {
                return copySender(connection, choice, target, rejected);
            },
            [&connection, choice, rejected] {
                return groupedSender(connection, choice, rejected);
            });
    }
    if (!choice.rowByRow && GroupedInsertSender::suits(connection, choice.table))
        return groupedSender(connection, choice, std::move(rejected));
    return std::make_unique<InsertSender>(
        connection,
        RowStatements(choice.table, choice.path, choice.rule, choice.separator, choice.targets),
        std::move(rejected));
}

std::shared_ptr<const CopyTarget> rangesTarget(Connection& connection, const SenderChoice& choice,
                                               qsizetype valueCount) {
    if (choice.rowByRow)
        return nullptr;
    try {
        std::optional<CopyTarget> target =
            CopyTarget::find(connection, choice.table, valueCount, choice.targets);
        if (target && target->orderFree)
            return std::make_shared<const CopyTarget>(std::move(*target));
    } catch (...) {
        // the file goes over one connection, whose sender asks again and tells what fails
    }
    return nullptr;
}
