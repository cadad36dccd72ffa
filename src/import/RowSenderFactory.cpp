#include "import/RowSenderFactory.h"

#include "import/CopySender.h"
#include "import/ImportChoices.h"
#include "import/InsertSender.h"

std::unique_ptr<RowSender> makeRowSender(Connection& connection, const QString& table,
                                         const QString& path, const ImportChoices& choices,
                                         RowSender::Rejected rejected,
                                         std::function<bool()> stopRequested) {
    const FieldRule rule = choices.quotedFields ? FieldRule::Quoted : FieldRule::Plain;
    if (choices.rowByRow)
        return std::make_unique<InsertSender>(connection, table, path, std::move(rejected), rule);
    CopySender::Options options;
    options.stopRequested = std::move(stopRequested);
    options.fieldRule = rule;
    return std::make_unique<CopySender>(connection, table, path, std::move(rejected),
                                        std::move(options));
}
