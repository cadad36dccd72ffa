#include "import/SentAhead.h"

#include "import/ColumnPlan.h"
#include "import/HeaderColumns.h"
#include "import/ImportChoices.h"
#include "import/StoredTableName.h"
#include "import/TableNames.h"
#include "resume/RunConnection.h"
#include "sending/Statements.h"
#include "sending/TableColumns.h"
#include "textfile/InputFile.h"

#include <optional>

namespace {

// What the file's turn would send, decided as the turn decides it.
struct Plan {
    QString table; // as the sender names it
    QString createStatement;
    QStringList columns; // append: the table's
    ColumnTargets targets;
    DataLineLoop::Steps steps;
};

// Create with names from the first line: the turn's checks, each passed.
std::optional<Plan> createPlan(const SentAhead::Setup& s, InputFile& file) {
    const ImportChoices& c = s.choices;
    if (c.names != ImportChoices::ColumnNames::FirstLine || c.tableTemplate.isEmpty())
        return std::nullopt;
    const QString name = ExpandTableName(c.tableTemplate, s.position);
    if (StoredTableName(name).isListedIn(s.namesBefore))
        return std::nullopt;
    const HeaderColumns header(file.header());
    if (!header.problem().isEmpty())
        return std::nullopt;
    const ColumnPlan plan =
        ColumnPlan::forCreate(c.fileColumn, header.names(), s.path, file.columnTypes());
    if (!plan.problem().isEmpty())
        return std::nullopt;
    return Plan{
        quoteIdentifier(name), plan.createTableStatement(name), {}, plan.targets(), s.createLoop};
}

// Append: the table's columns read over the connection, the file's fields planned into them.
std::optional<Plan> appendPlan(const SentAhead::Setup& s, InputFile& file, Connection& open) {
    const ImportChoices& c = s.choices;
    const QString table = c.existingTables.value(c.selectedTable);
    const QStringList columns = readTableColumns(open, table);
    if (columns.isEmpty())
        return std::nullopt;
    const ColumnPlan plan =
        ColumnPlan::forAppend({c.matchNames, c.fileColumn}, file.header(), columns, s.path);
    if (!plan.problem().isEmpty() || !plan.countsAgree())
        return std::nullopt;
    return Plan{table, {}, columns, plan.targets(), s.appendLoop};
}

SenderChoice choiceOf(const SentAhead::Setup& s, const Plan& plan, FieldRule rule) {
    return SenderChoice{plan.table, s.path, rule,         s.choices.separator.toUtf8(),
                        false,      s.stop, plan.targets, nullptr};
}

} // namespace

std::unique_ptr<SentAhead> SentAhead::start(const Setup& s, InputFile& file) {
    const ImportChoices& c = s.choices;
    const bool create = c.mode == ImportChoices::TableMode::Create;
    if (c.rowByRow || s.stop() || (!create && c.mode != ImportChoices::TableMode::Append))
        return nullptr;
    const bool fromFirst = c.sendsFirstLine();
    const std::vector<FileRange> ranges = file.dataRanges(fromFirst, s.parts, c.rangeBytes);
    if (ranges.size() != 1)
        return nullptr; // goes in ranges at its turn
    std::optional<Plan> plan;
    if (create && !(plan = createPlan(s, file)))
        return nullptr;
    std::unique_ptr<SentAhead> sent(new SentAhead);
    try {
        Connection& open = s.connection.begin(c.connection);
        open.setStopCheck(s.stop);
        if (!create && !(plan = appendPlan(s, file, open))) {
            s.connection.end();
            return nullptr;
        }
        SenderChoice choice = choiceOf(s, *plan, file.rule());
        if (!create && !(choice.foundTarget = rangesTarget(open, choice, file.header().size()))) {
            s.connection.end();
            return nullptr;
        }
        sent->m_columns = plan->columns;
        sent->m_range = ranges.front();
        // Made before the table, so that what the server notes about it is the lane's to tell.
        sent->m_lane = std::make_unique<Lane>(Lane::Setup{s.connection, c.connection, file,
                                                          ranges.front(), std::move(choice), s.stop,
                                                          plan->steps.next, plan->steps.execute});
        if (create)
            open.queryOne(plan->createStatement);
    } catch (...) {
        // The turn makes the table, or reads the columns, itself and tells what fails.
        sent->m_lane.reset();
        s.connection.end();
        return nullptr;
    }
    sent->m_lane->start();
    return sent;
}

SentAhead::~SentAhead() = default;
