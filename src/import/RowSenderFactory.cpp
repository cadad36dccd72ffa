#include "import/RowSenderFactory.h"

#include "import/CopySender.h"
#include "import/ImportChoices.h"
#include "import/InsertSender.h"

std::unique_ptr<RowSender> makeRowSender(Connection& connection, const QString& table,
                                         const QString& path, const ImportChoices& choices,
                                         RowSender::Rejected rejected,
                                         std::function<bool()> stopRequested) {
    if (choices.rowByRow)
        return std::make_unique<InsertSender>(connection, table, path, std::move(rejected));
    CopySender::Options options;
    options.stopRequested = std::move(stopRequested);
    return std::make_unique<CopySender>(connection, table, path, std::move(rejected),
                                        std::move(options));
}
