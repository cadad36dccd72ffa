#include "database/Connection.h"
#include "import/ImportRun.h"
#include "import/IntervalCheck.h"
#include "import/ProgressMeter.h"
#include "sending/copy/CopySender.h"
#include "shell/NumberText.h"
#include "support/RecordingFrontEnd.h"
#include "support/SenderKit.h"
#include "support/TestEnvironment.h"

#include "database/PostgreSQL.h"
#include "database/TableList.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace {

ImportProgress at(int file, qint64 rows, const QString& path = QStringLiteral("/d/a.csv")) {
    ImportProgress progress;
    progress.file = file;
    progress.files = 3;
    progress.path = path;
    progress.rowsSent = rows;
    return progress;
}

class ImportProgressTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        return writeTestFile(m_dir, name, bytes);
    }

    ImportChoices append(const QStringList& files, const QString& table, bool rowByRow) {
        ImportChoices choices;
        choices.files = files;
        choices.mode = ImportChoices::TableMode::Append;
        choices.separator = QStringLiteral(",");
        StringTableList tables;
        ListDatabaseTables(m_db.settings(), tables);
        choices.existingTables = tables.names;
        choices.selectedTable = static_cast<int>(tables.names.indexOf(table));
        choices.connection = m_db.settings();
        choices.rowByRow = rowByRow;
        return choices;
    }

    // count, lowest and highest n of the table: a whole prefix of the lines has count equal
    // to the highest and lowest 1.
    QStringList extent(const QString& table) const {
        return m_db.rows(QStringLiteral("SELECT count(*), coalesce(min(n), 0), coalesce(max(n), "
                                        "0) FROM %1")
                             .arg(table));
    }

    QTemporaryDir m_dir;
    TestDatabase m_db;
};

} // namespace

// The rate counts only the time during which rows arrive: a short import, whose time goes into
// connecting and reading, never shows one.
// The progress keeps its interval whether lines come quickly or slowly: the clock is not read for
// every quick line, yet a slow line is never held back behind 63 others.
TEST(IntervalCheck, KeepsTheIntervalForQuickAndForSlowLines) {
    using namespace std::chrono_literals;
    IntervalCheck patient(60000);
    EXPECT_TRUE(patient.due(10)) << "before the first restart";
    patient.restart();
    for (int i = 0; i < 200; ++i)
        EXPECT_FALSE(patient.due(10)) << "quick lines inside the interval, line " << i;

    IntervalCheck interval(100);
    interval.restart();
    for (int i = 0; i < 200; ++i)
        interval.due(10);
    std::this_thread::sleep_for(120ms);
    int quick = 1;
    while (!interval.due(10) && quick < 100)
        ++quick;
    EXPECT_LE(quick, 64) << "quick lines look at the clock at least every 64 lines";

    // Lines of 25 ms each: the interval is over by the fourth, seen by the sixth at the latest.
    interval.restart();
    int slow = 0;
    bool seen = false;
    while (!seen && slow < 64) {
        std::this_thread::sleep_for(25ms);
        ++slow;
        seen = interval.due(10);
    }
    EXPECT_LE(slow, 6);

    // A long line is looked at whatever the count.
    interval.restart();
    for (int i = 0; i < 200; ++i)
        interval.due(10);
    std::this_thread::sleep_for(120ms);
    EXPECT_TRUE(interval.due(1 << 16));
}

TEST(ProgressMeter, TextsAndRate) {
    ProgressMeter meter;
    EXPECT_EQ(meter.fileText(), QString());
    EXPECT_EQ(meter.rowsPerSecond(), -1);

    const struct {
        const char* name;
        ImportProgress report;
        qint64 atMs;
        QString file;
        QString rows;
    } steps[] = {
        {"first report: no rate yet", at(1, 0, "/data/in/a b.csv"), 0, "File 1 of 3: a b.csv",
         "0 rows sent"},
        {"no rows for a while: no rate", at(1, 0), 1500, "File 1 of 3: a.csv", "0 rows sent"},
        {"the first rows after the wait: no rate from them", at(1, 13), 2000, "File 1 of 3: a.csv",
         "13 rows sent"},
        {"rows for under a second: still no rate", at(1, 1013), 2900, "File 1 of 3: a.csv",
         "1,013 rows sent"},
        {"a second of rows: the rate over it", at(1, 2013), 3000, "File 1 of 3: a.csv",
         "2,013 rows sent, 2,000 rows/s"},
        {"next file, grouped millions", at(2, 1234567), 4000, "File 2 of 3: a.csv",
         "1,234,567 rows sent, 617,277 rows/s"},
        {"old samples leave the window", at(2, 1244567), 7000, "File 2 of 3: a.csv",
         "1,244,567 rows sent, 3,333 rows/s"},
        {"a pause brings the rate to zero", at(2, 1244567), 10500, "File 2 of 3: a.csv",
         "1,244,567 rows sent, 0 rows/s"},
        {"a clock that runs back is held", at(3, 1244577), 9000, "File 3 of 3: a.csv",
         "1,244,577 rows sent, 2 rows/s"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        meter.update(step.report, step.atMs);
        EXPECT_EQ(meter.fileText(), step.file);
        EXPECT_EQ(meter.rowsText(), step.rows);
    }
}

// Progress reports during a run: files counted from 1 in order, rows never going back, the
// last report holding the run's total. Rejected rows are not counted. The server takes a
// moment over each of the first rows, so that the lines read meanwhile fill what the sender
// holds and the reading waits over an interval between two reports, on any machine.
TEST_F(ImportProgressTest, ReportsClimbToTheRowsImportedOnBothPaths) {
    m_db.execute("CREATE TABLE target(n INTEGER, t VARCHAR(8), "
                 "CHECK (n > 4 OR pg_sleep(0.1)::text = ''))");
    const QString big = file("big.csv", numberedLines(150000, 10000));
    const QString small = file("small.csv", numberedLines(5));
    for (const bool rowByRow : {false, true}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "copy");
        m_db.execute("TRUNCATE target");
        RecordingFrontEnd ui;
        const qint64 total = rowByRow ? 10005 : 150005 - 15;
        // The row-by-row path takes the first 10,000 lines of the big file only.
        const QString first = rowByRow ? file("ten.csv", numberedLines(10000)) : big;
        const ImportResult result = runImport(append({first, small}, "target", rowByRow), ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Done);
        EXPECT_EQ(result.rowsSent, total);
        EXPECT_EQ(result.filesImported, 2);
        EXPECT_EQ(m_db.column("SELECT count(*) FROM target"), QStringList{QString::number(total)});
        ASSERT_GE(ui.progressLog.size(), 4) << "at least the start and end of each file";
        qint64 rows = 0;
        int position = 1;
        for (const ImportProgress& report : std::as_const(ui.progressLog)) {
            EXPECT_EQ(report.files, 2);
            EXPECT_TRUE(report.file == position || report.file == position + 1);
            position = report.file;
            EXPECT_EQ(report.path, position == 1 ? first : small);
            EXPECT_GE(report.rowsSent, rows) << "rows never go back";
            rows = report.rowsSent;
        }
        EXPECT_EQ(ui.progressLog.last().rowsSent, total);
        EXPECT_EQ(ui.progressLog.last().file, 2);
        if (!rowByRow) {
            EXPECT_GT(ui.progressLog.size(), 4) << "reports while the big file is sent";
        }
    }
}

// A stop keeps every committed row, a whole prefix of the file less its rejected lines, and
// the closing message counts what the result and the table hold.
TEST_F(ImportProgressTest, StopKeepsACommittedPrefixAndCountsIt) {
    m_db.execute("CREATE TABLE target(n INTEGER, t VARCHAR(8))");
    const QString big = file("big.csv", numberedLines(400000));
    const QString small = file("small.csv", numberedLines(7));
    const QString wide = file("wide.csv", "a,b,c\n1,2,3\n"); // passed over: 3 columns
    const struct {
        const char* name;
        bool rowByRow;
        QStringList files;
        qint64 stopAfterRows; // 0: at the first report, when the first file begins
        int filesImported;
        qint64 rows; // -1: the stop fell inside the big file, some of its lines went in
    } cases[] = {
        {"copy, inside the first file", false, {big, small}, 1, 0, -1},
        {"row by row, inside the first file", true, {big, small}, 1, 0, -1},
        {"copy, between files", false, {small, big}, 7, 1, 7},
        {"row by row, between files", true, {small, big}, 7, 1, 7},
        {"a file passed over is not counted", false, {wide, big}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_db.execute("TRUNCATE target");
        RecordingFrontEnd ui;
        ui.stopAfterRows = c.stopAfterRows;
        const ImportResult result = runImport(append(c.files, "target", c.rowByRow), ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Cancelled);
        EXPECT_EQ(result.filesImported, c.filesImported);
        EXPECT_EQ(ui.messages.value(ui.messages.size() - 1),
                  QStringLiteral("Import stopped. %1 file(s) and %2 row(s) were imported.")
                      .arg(c.filesImported)
                      .arg(groupedCount(result.rowsSent)));
        EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
        EXPECT_EQ(ui.messages.size(), c.files.first() == wide ? 2 : 1) << "with the mismatch";
        const QString count = QString::number(result.rowsSent);
        if (c.rows < 0) {
            // What the stop may still let through: one chunk by COPY (65,536 lines, or 524,288
            // where the first COPY was slow to start, as on a busy machine, and the server
            // seemed far), the 1,000 statements of the pipeline row by row. Not the lines read
            // ahead.
            const qint64 inFlight = c.rowByRow ? 1000 : 524288;
            qint64 seenAtStop = 0;
            for (const ImportProgress& report : std::as_const(ui.progressLog)) {
                if (report.rowsSent >= c.stopAfterRows) {
                    seenAtStop = report.rowsSent;
                    break;
                }
            }
            EXPECT_LE(result.rowsSent - seenAtStop, inFlight);
            EXPECT_EQ(extent("target"), QStringList{count + "|1|" + count})
                << "exactly the first lines, each once";
        } else {
            EXPECT_EQ(result.rowsSent, c.rows);
            EXPECT_EQ(extent("target"),
                      QStringList{QStringLiteral("%1|%2|%1").arg(c.rows).arg(c.rows > 0 ? 1 : 0)})
                << "the next file was not begun";
        }
        EXPECT_EQ(ui.progressLog.last().rowsSent, result.rowsSent);
        EXPECT_EQ(ui.busyChanges.last(), false);
    }
}

// A stop while the server is slow: the lines read ahead, waiting behind the chunk in flight,
// are not sent.
TEST(CopySenderStop, LeavesTheLinesWaitingBehindTheChunkUnsent) {
    TestDatabase db;
    db.execute("CREATE TABLE t(a TEXT, n INTEGER UNIQUE)");
    Connection other = Connection::open(db.settings());
    // An uncommitted row with the key of line 50 holds the first COPY until it is rolled back.
    other.execute("BEGIN");
    other.execute("INSERT INTO t VALUES ('other', 50)");

    Connection connection = Connection::open(db.settings());
    bool stop = false;
    CopySender::Options options;
    options.chunkLines = options.ownChunkLines = 100;
    options.growWhenFar = false; // a busy machine may start the first COPY slowly
    options.stopRequested = [&] { return stop; };
    const auto sender = copySenderFor(
        connection, "t", 2, [](const LineRejection&) {}, options);
    ASSERT_TRUE(sender);
    for (int line = 1; line <= 1000; ++line)
        sender->send(fieldsRecord(line, {"a", QString::number(line)}));
    stop = true;
    other.execute("ROLLBACK");
    sender->finish();

    EXPECT_TRUE(sender->stopped());
    EXPECT_EQ(sender->rowsAccepted(), 100);
    EXPECT_EQ(db.rows("SELECT count(*), min(n), max(n) FROM t"), QStringList{"100|1|100"});
}
