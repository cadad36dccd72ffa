#include "import/ImportSteps.h"

#include "import/ColumnPlan.h"
#include "import/HeaderColumns.h"
#include "import/StoredTableName.h"
#include "import/TableNames.h"
#include "sending/Statements.h"
#include "sending/TableColumns.h"

void ImportSteps::createFlow(int position) {
    QString name;
    if (m_run.test(164, [&] {
            name = ExpandTableName(m_choices.tableTemplate, position);
            return StoredTableName(name).isListedIn(m_tables);
        })) {
        m_run.step(298, [&] { m_complete = false; });
        m_ui.tableAlreadyListed(name);
        return;
    }
    if (m_run.test(166, [&] { return m_choices.tableTemplate.isEmpty(); })) {
        m_ui.templateEmpty();
        return;
    }
    if (m_run.test(168, [&] { return m_choices.names == ImportChoices::ColumnNames::FirstLine; }))
        firstLineFlow(name);
    else if (m_run.test(234, [&] { return m_choices.names == ImportChoices::ColumnNames::Typed; }))
        typedFlow(name);
}

void ImportSteps::firstLineFlow(const QString& name) {
    QStringList header;
    m_run.step(170, [&] { header = m_file->header(); });
    HeaderColumns columns{QStringList()};
    m_run.begin(172);
    m_run.step(174, [&] { columns = HeaderColumns(header); });
    // Checked before the table is made: the server would refuse the names, or make a table
    // with fewer columns than the file's lines have fields.
    if (!columns.problem().isEmpty()) {
        m_ui.unusableHeader(columns.problem());
        return;
    }
    createAndFill(name, columns.names(), FirstLineCreate);
}

void ImportSteps::typedFlow(const QString& name) {
    const qsizetype count = m_run.value(
        236, [&] { return m_file->header().size(); }, qsizetype(0));
    QStringList columns;
    bool endedOnEmpty = false;
    m_run.begin(240);
    for (qsizetype k = 1; k <= count; ++k) {
        const QString answer = m_run.value(
            242,
            [&] {
                return m_frontEnd.inputText(QStringLiteral("Enter name for column #") +
                                                QString::number(k) + QLatin1Char(':'),
                                            QString());
            },
            QString());
        QString column;
        m_run.step(244, [&] { column = LettersAndDigitsOnly(answer); });
        if (m_run.test(246, [&] { return answer.isEmpty(); })) {
            m_run.begin(248);
            endedOnEmpty = true;
            m_ui.columnNameMissing(k);
            break;
        }
        columns.append(column);
    }
    // Without a full set of names there is no table: the file is passed over, its rows unsent
    // and its name not listed, rather than sending rows that could only be rejected.
    if (m_run.test(238, [&] { return endedOnEmpty; }))
        return;
    createAndFill(name, columns, TypedCreate);
}

void ImportSteps::createAndFill(const QString& name, const QStringList& columns,
                                const CreateSteps& steps) {
    ColumnPlan plan;
    if (!planCreate(columns, plan))
        return;
    QString statement;
    m_run.step(steps.statement, [&] { statement = plan.createTableStatement(name); });
    if (!createTable(steps.create, name, statement))
        return;
    // A made name is never a path.
    sendDataLines(quoteIdentifier(name), steps.loop, plan.targets());
    m_run.step(steps.list, [&] { listTable(name); });
}

void ImportSteps::appendFlow() {
    const QString table = m_choices.existingTables.value(m_choices.selectedTable);
    // From the catalogue: a role that may only insert into the table learns its columns too.
    QStringList columns;
    m_run.step(302, [&] {
        if (m_sentAhead) // the fields were planned into those columns
            columns = m_sentAhead->tableColumns();
        else
            m_connection.reconnectingOnce(
                cancelled(), [&](Connection& open) { columns = readTableColumns(open, table); });
    });
    const bool noColumns = columns.isEmpty();
    Connection* c = m_connection.current();
    if (((c && c->stopTaken()) || (noColumns && m_frontEnd.cancelRequested())) &&
        (m_cancelled = true))
        return; // the query was stopped, or the wait for the server, not answered
    QStringList header;
    m_run.step(304, [&] { header = m_file->header(); });
    const ColumnPlan plan = ColumnPlan::forAppend({m_choices.matchNames, m_choices.fileColumn},
                                                  header, columns, m_path);
    if (!plan.problem().isEmpty()) {
        m_ui.columnsUnplanned(plan.problem());
        return;
    }
    if (plan.namesReordered() && !m_choices.sendsFirstLine())
        m_frontEnd.namesInAnotherOrder(m_path, table);
    if (m_run.test(306, [&] { return plan.countsAgree(); })) {
        sendDataLines(table, AppendLoop, plan.targets());
        return;
    }
    m_run.step(346, [&] {
        m_ui.columnCountsDiffer(m_choices.separator, header.size(), table,
                                static_cast<int>(plan.columnsForFields()));
    });
}

bool ImportSteps::createTable(int step, const QString& name, const QString& statement) {
    if (m_sentAhead) { // its table was made when it was sent, by the same statement
        m_run.begin(step);
        return true;
    }
    // A backend ended as the statement ran made nothing: it is sent again over a new
    // connection, as a file's rows go on after a lost connection.
    if (m_run.step(step, [&] {
            m_connection.reconnectingOnce(cancelled(),
                                          [&](Connection& open) { open.queryOne(statement); });
        }))
        return true;
    if (m_frontEnd.cancelRequested()) // the server was awaited and the user stopped the run
        m_cancelled = true;
    else
        m_ui.tableNotCreated(name);
    return false;
}

bool ImportSteps::planCreate(const QStringList& columns, ColumnPlan& plan) {
    plan = ColumnPlan::forCreate(m_choices.fileColumn, columns, m_path, m_file->columnTypes());
    if (plan.problem().isEmpty())
        return true;
    m_ui.columnsUnplanned(plan.problem());
    return false;
}

void ImportSteps::sendDataLines(const QString& table, const DataLineLoop::Steps& steps,
                                const ColumnTargets& targets) {
    DataLineLoop loop(
        {m_run, m_ui, m_frontEnd, *m_file, m_connection, m_choices, m_path, m_progressInterval,
         [this](qint64 rows, int seconds) { showProgress(rows, seconds); }, &m_lanes,
         m_sentAhead.get(), [this] { m_aheadStop = true; }, m_ranges.partsAt(m_position)});
    const DataLineLoop::Outcome outcome = loop.send(table, steps, targets);
    m_result.rowsSent += outcome.rowsSent;
    m_cancelled = m_cancelled || outcome.cancelled;
    if (outcome.cancelled) // a file sent ahead may have gone whole before the stop
        return;
    if (outcome.withoutSeparator == 0 && outcome.allSent && !m_file->brokenOff())
        ++m_result.filesImported;
    else
        m_ui.linesWithoutSeparator(outcome.withoutSeparator, outcome.handedOver == 0,
                                   m_choices.separator);
}

void ImportSteps::listTable(const QString& name) {
    const QString stored = StoredTableName(name).text();
    m_tables.prepend(stored);
    m_frontEnd.tableListed(stored);
}
