// An import over several connections against the same import over one. For files of every
// kind (plain and quoted, records over several lines, Windows-1252 and UTF-16, bad values,
// every line rejected, backends ended in the middle of the file) the runs with 2, 4 and 8 jobs
// leave the same tables and show the same messages in the same order, with the same counts, as
// the run with one. Ranges are made small (rangeBytes) so that files of a few hundred kilobytes
// are cut into many.
#include "database/Connection.h"
#include "support/CommandLineKit.h"
#include "support/ImportFixture.h"

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Readable values in failure messages.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr qint64 SmallRanges = 16 * 1024;

// "n,t" lines; every badEvery-th a value too long for a varchar(8) (none when 0); every
// breakEvery-th t quoted over two lines (none when 0).
QByteArray lines(int count, int badEvery, int breakEvery, const QByteArray& lineEnd = "\n") {
    QByteArray bytes = "n,t" + lineEnd;
    for (int n = 1; n <= count; ++n) {
        bytes += QByteArray::number(n) + ',';
        if (badEvery > 0 && n % badEvery == 0)
            bytes += "much too long";
        else if (breakEvery > 0 && n % breakEvery == 0)
            bytes += "\"a" + lineEnd + "b\"";
        else
            bytes += "r\xC3\xA9" + QByteArray::number(n % 1000);
        bytes += lineEnd;
    }
    return bytes;
}

// "n,d" lines of an integer and a date, every 11th n and every 7th d empty (as "" when quoted).
QByteArray typedLines(int count, bool quoted) {
    const QByteArray empty = quoted ? "\"\"" : "";
    QByteArray bytes = "n,d\n";
    for (int n = 1; n <= count; ++n)
        bytes += (n % 11 == 0 ? empty : QByteArray::number(n)) + ',' +
                 (n % 7 == 0 ? empty : "2024-01-" + QByteArray::number(10 + n % 19)) + '\n';
    return bytes;
}

// What a run leaves and shows.
struct Seen {
    QStringList log;
    QStringList places;
    QStringList listed;
    QList<ImportResult> closings;
    QStringList rows;
};

// The most client backends of the database sending rows at once while the run goes on (a
// question about the table's columns is not rows), counted over a connection of its own.
class BusyBackends {
public:
    explicit BusyBackends(const ConnectionSettings& settings)
        : m_watcher([this, settings] {
            Connection watching = Connection::open(settings);
            while (!m_over)
                m_most = std::max<int>(
                    m_most, watching
                                .query("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                       "current_database() AND state = 'active' AND "
                                       "backend_type = 'client backend' AND pid <> "
                                       "pg_backend_pid() AND query ~ '(COPY|INSERT INTO) '")
                                .value(0, 0)
                                .toInt());
        }) {}
    int most() {
        m_over = true;
        m_watcher.join();
        return m_most;
    }

private:
    std::atomic<bool> m_over{false};
    std::atomic<int> m_most{0};
    std::thread m_watcher;
};

} // namespace

class ParallelImport : public ImportFixture {
protected:
    struct Case {
        const char* name;
        QByteArray bytes;
        bool quoted;
        const char* table; // the table appended to, made afresh before each run; null: create
        bool endBackends = false;
        bool detectTypes = false;
    };

    Seen run(const Case& c, int jobs) {
        dropAll();
        if (c.table)
            m_db.execute(QString::fromLatin1(c.table));
        const QString path = file(QStringLiteral("f.csv"), c.bytes);
        ImportChoices choices = c.table ? append({path}, QStringLiteral("t")) : create({path});
        choices.quotedFields = c.quoted;
        choices.jobs = jobs;
        choices.rangeBytes = SmallRanges;
        choices.detectTypes = c.detectTypes;
        RecordingFrontEnd ui;
        runEnding(choices, ui, c.endBackends);
        const QString table = c.table ? QStringLiteral("t") : QStringLiteral("\"NewTable1\"");
        return {ui.log, ui.errorPlaces, ui.listed, ui.closings,
                m_db.rows(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(table))};
    }

    // Runs the choices, ending every backend once t has rows when asked.
    void runEnding(const ImportChoices& choices, RecordingFrontEnd& ui, bool endBackends) {
        std::atomic<bool> over{false};
        std::thread ender;
        if (endBackends)
            ender = std::thread([&] { endBackendsOnceRowsArrive(over); });
        runImport(choices, ui);
        over = true;
        if (ender.joinable())
            ender.join();
    }

    // A run of a list of files: t's rows, then each listed table's name and rows.
    Seen runList(const ImportChoices& choices, bool endBackends = false) {
        RecordingFrontEnd ui;
        runEnding(choices, ui, endBackends);
        QStringList rows = m_db.rows("SELECT * FROM t ORDER BY 1, 2");
        for (const QString& table : ui.listed)
            rows << table
                 << m_db.rows(QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1, 2").arg(table));
        return Seen{ui.log, ui.errorPlaces, ui.listed, ui.closings, rows};
    }

    static void expectAsOne(const Seen& several, const Seen& one) {
        EXPECT_EQ(several.log, one.log);
        EXPECT_EQ(several.places, one.places);
        EXPECT_EQ(several.listed, one.listed);
        EXPECT_EQ(several.rows, one.rows);
        ASSERT_EQ(several.closings.size(), one.closings.size());
        for (qsizetype k = 0; k < one.closings.size(); ++k) {
            EXPECT_EQ(several.closings[k].rowsSent, one.closings[k].rowsSent);
            EXPECT_EQ(several.closings[k].filesImported, one.closings[k].filesImported);
            EXPECT_EQ(several.closings[k].errorsReported, one.closings[k].errorsReported);
        }
    }

    // Ends every backend of the database once the table has rows, over a connection of its own.
    void endBackendsOnceRowsArrive(const std::atomic<bool>& over) {
        Connection watcher = Connection::open(m_db.settings());
        while (!over) {
            if (watcher.query("SELECT count(*) FROM t").value(0, 0).toLongLong() > 0) {
                watcher.query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                              "datname = current_database() AND pid <> pg_backend_pid() AND "
                              "backend_type = 'client backend'");
                return;
            }
        }
    }
};

TEST_F(ParallelImport, SeveralConnectionsLeaveAndShowWhatOneDoes) {
    const char* const typed = "CREATE TABLE t(n int, t varchar(8))";
    const Case cases[] = {
        {"plain, bad values", lines(20000, 997, 0), false, typed},
        {"quoted, records over two lines, bad values", lines(20000, 1499, 7), true, typed},
        {"quoted, CR LF, create", lines(20000, 0, 5, "\r\n"), true, nullptr},
        {"Windows-1252, create", QByteArray(lines(20000, 0, 0)).replace("\xC3\xA9", "\xE9"), false,
         nullptr},
        {"UTF-16, quoted, create", utf16LittleEndian(QString::fromUtf8(lines(20000, 0, 3, "\r\n"))),
         true, nullptr},
        {"every line rejected", lines(1500, 1, 0), false, typed},
        {"backends ended in the middle", lines(60000, 4999, 0), false, typed, true},
        {"detected types, empty values", typedLines(20000, false), false, nullptr, false, true},
        {"detected types, quoted empty values", typedLines(20000, true), true, nullptr, false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Seen one = run(c, 1);
        ASSERT_FALSE(one.rows.isEmpty() && !c.table);
        if (c.detectTypes) {
            EXPECT_EQ(m_db.columnsOf(QStringLiteral("NewTable1")),
                      (QStringList{"n integer", "d date"}));
        }
        ASSERT_EQ(one.closings.size(), 1);
        for (const int jobs : {2, 4, 8}) {
            SCOPED_TRACE(jobs);
            expectAsOne(run(c, jobs), one);
            // Each connection removed the markers of its chunks, closing with the others.
            EXPECT_EQ(m_db.column("SELECT count(*) FROM pg_largeobject_metadata"),
                      QStringList{"0"});
        }
    }
}

// A list of files, each read ahead while the one before is sent: whatever the reading ahead
// finds (rejected rows to come, an empty file, a missing one, UTF-16, a compressed one, a
// column-count mismatch, the field-count report that ends the run) is shown at the file's
// turn, after every message of the files before it, as over one connection.
TEST_F(ParallelImport, FilesReadAheadShowWhatTheyHoldAtTheirTurn) {
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    gzip.write(lines(20000, 1499, 11));
    gzip.closeWriteChannel();
    ASSERT_TRUE(gzip.waitForFinished());
    const QStringList files{
        file("a.csv", lines(30000, 997, 7)),
        file("empty.csv", ""),
        m_dir.filePath("missing.csv"),
        file("w.csv", utf16LittleEndian(QString::fromUtf8(lines(5000, 499, 3)))),
        file("z.csv.gz", gzip.readAllStandardOutput()),
        file("other.csv", "x,y,z\n1,2,3\n"),
        file("last.csv", lines(3000, 0, 0) + "1,2,3\n"),
        file("after.csv", lines(10, 0, 0))};
    for (const bool appending : {true, false}) {
        SCOPED_TRACE(appending ? "append" : "create");
        const auto seen = [&](int jobs) {
            dropAll();
            m_db.execute("CREATE TABLE t(n int, t varchar(8))");
            ImportChoices choices =
                appending ? append(files, QStringLiteral("t")) : create(files, "T[counter]");
            choices.quotedFields = true;
            choices.jobs = jobs;
            choices.rangeBytes = SmallRanges;
            return runList(choices);
        };
        const Seen one = seen(1);
        ASSERT_TRUE(one.log.join('\n').contains("report: ")) << "the last file ends the run";
        for (const int jobs : {2, 4}) {
            SCOPED_TRACE(jobs);
            expectAsOne(seen(jobs), one);
        }
    }
}

// The ranges go at once, each over its own connection; a table with a unique index keeps
// the file on one, where the order of commits could decide which of two equal keys is
// rejected. Only client backends sending rows count (BusyBackends): the server's own workers
// (an autovacuum's ANALYZE after the first table's rows) are active in the same database.
TEST_F(ParallelImport, RangesGoSideBySideUnlessTheTableHasAUniqueIndex) {
    const QByteArray bytes = lines(400000, 0, 0);
    for (const char* const table :
         {"CREATE TABLE t(n int, t text)", "CREATE TABLE t(n int PRIMARY KEY, t text)"}) {
        SCOPED_TRACE(table);
        dropAll();
        m_db.execute(QString::fromLatin1(table));
        ImportChoices choices = append({file(QStringLiteral("f.csv"), bytes)}, "t");
        choices.jobs = 4;
        choices.rangeBytes = 256 * 1024;
        BusyBackends busy(m_db.settings());
        RecordingFrontEnd ui;
        runImport(choices, ui);
        const int most = busy.most();
        EXPECT_EQ(m_db.count("t"), 400000);
        EXPECT_EQ(ui.messages, QStringList{"Done."});
        if (QString::fromLatin1(table).contains(QLatin1String("PRIMARY KEY")))
            EXPECT_EQ(most, 1);
        else
            EXPECT_GE(most, 2);
    }
}

// A role allowed one connection: the further connections are refused at the login, and the
// file goes over the one the run has, with every row and no message.
TEST_F(ParallelImport, ConnectionsThatCantBeOpenedAreDoneWithout) {
    const QString role = QStringLiteral("one_") + m_db.name();
    m_db.execute(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD 'one-connection' "
                                "CONNECTION LIMIT 1")
                     .arg(role));
    m_db.execute(QStringLiteral("GRANT CREATE, USAGE ON SCHEMA public TO \"%1\"").arg(role));
    ImportChoices choices = create({file(QStringLiteral("f.csv"), lines(200000, 0, 0))});
    choices.connection.user = role;
    choices.connection.password = QStringLiteral("one-connection");
    choices.jobs = 4;
    choices.rangeBytes = SmallRanges;
    RecordingFrontEnd ui;
    const ImportResult result = runImport(choices, ui);
    EXPECT_EQ(ui.log, QStringList{"message: Done."});
    EXPECT_EQ(result.rowsSent, 200000);
    EXPECT_EQ(m_db.count(QStringLiteral("\"NewTable1\"")), 200000);
    m_db.execute(QStringLiteral("DROP OWNED BY \"%1\"; DROP ROLE \"%1\"").arg(role));
}

// Files too short for ranges go side by side, each over its own connection, the next one sent
// while the one before has its turn; what each shows comes at its turn, in list order, as over
// one connection: rejections in line order, passed-over files, a table the server already has,
// a name already listed, a file of fewer fields, lines without the separator, every line
// rejected, backends ended in the middle.
TEST_F(ParallelImport, FilesSideBySideShowWhatOneConnectionShows) {
    const QStringList files{
        file("a.csv", lines(3000, 97, 0)),
        file("b.csv", lines(3000, 0, 7)),
        file("c.csv", lines(200, 1, 0)),
        file("d.csv", "x,y,z\n1,2,3\n"),
        file("e.csv", "n,n\n1,2\n"),
        file("f.csv", QByteArray(lines(3000, 0, 0)).replace("\xC3\xA9", "\xE9")),
        file("g.csv", lines(3000, 0, 0) + "\n" + lines(20, 0, 0)),
        file("h.csv", lines(3000, 499, 0))};
    for (const bool appending : {true, false}) {
        for (const bool endBackends : {false, true}) {
            if (endBackends && !appending)
                continue; // the backends are ended once the appended table has rows
            SCOPED_TRACE(appending ? "append" : "create");
            SCOPED_TRACE(endBackends ? "backends ended" : "");
            const auto seen = [&](int jobs) {
                dropAll();
                m_db.execute("CREATE TABLE t(n int, t varchar(8)); CREATE TABLE \"T6\"(x int)");
                ImportChoices choices =
                    appending ? append(files, QStringLiteral("t")) : create(files, "T[counter]");
                choices.existingTables.removeAll(QStringLiteral("T6"));
                choices.existingTables.append(QStringLiteral("T4"));
                choices.quotedFields = true;
                choices.jobs = jobs;
                return runList(choices, endBackends);
            };
            const Seen one = seen(1);
            ASSERT_EQ(one.closings.size(), 1) << one.log.join('\n').toStdString();
            for (const int jobs : {2, 4}) {
                SCOPED_TRACE(jobs);
                expectAsOne(seen(jobs), one);
            }
        }
    }
}

// As many connections work at once as the run has jobs, on files that each go over one, and
// never more: a file in ranges takes every connection, and the files after it wait for its
// turn to end. A table with a unique index takes one file at a time, where the order of
// commits could decide which of two equal keys is rejected.
TEST_F(ParallelImport, FilesGoSideBySideUnlessTheTableHasAUniqueIndex) {
    const auto listed = [&](bool withRanges) {
        QStringList files;
        // No two lines alike; the third long enough for ranges, and longer than the files
        // that could go beside it together.
        for (int k = 1; k <= 6; ++k)
            files << file(QStringLiteral("f%1.csv").arg(k),
                          lines(k == 3 && withRanges ? 700000 : 150000, 0, 0)
                              .replace("r\xC3\xA9", "f" + QByteArray::number(k)));
        return files;
    };
    for (const char* const table :
         {"CREATE TABLE t(n int, t text)", "CREATE TABLE t(n int, t text, UNIQUE (n, t))",
          static_cast<const char*>(nullptr)}) {
        for (const auto& [jobs, withRanges] : {std::pair{2, true}, {3, true}, {3, false}}) {
            SCOPED_TRACE(table ? table : "create");
            SCOPED_TRACE(testing::Message() << jobs << (withRanges ? " jobs, ranges" : " jobs"));
            dropAll();
            if (table)
                m_db.execute(QString::fromLatin1(table));
            const QStringList files = listed(withRanges);
            ImportChoices choices = table ? append(files, "t") : create(files);
            choices.jobs = jobs;
            choices.rangeBytes = 2 << 20;
            BusyBackends busy(m_db.settings());
            RecordingFrontEnd ui;
            runImport(choices, ui);
            const int most = busy.most();
            EXPECT_EQ(ui.messages, QStringList{"Done."});
            if (table && QString::fromLatin1(table).contains(QLatin1String("UNIQUE"))) {
                EXPECT_EQ(most, 1);
                EXPECT_EQ(ui.log.size(), 1) << ui.log.join('\n').toStdString();
            } else {
                EXPECT_EQ(most, jobs);
            }
        }
    }
}

// The progress counts the rows of the file sent ahead: once its connection committed rows
// during the first file's turn, the first report of its own turn holds them beside the first
// file's, before its turn shows anything of its own.
TEST_F(ParallelImport, ProgressCountsTheRowsOfTheFileSentAhead) {
    const QByteArray bytes = lines(150000, 0, 0);
    ImportChoices choices = create({file("a.csv", bytes), file("b.csv", bytes)});
    choices.jobs = 2;
    struct Waiting : RecordingFrontEnd {
        std::function<void()> atFirstFilesEnd;
        void progress(const ImportProgress& progress) override {
            RecordingFrontEnd::progress(progress);
            if (progress.file == 1 && progress.rowsSent >= 150000 && atFirstFilesEnd)
                std::exchange(atFirstFilesEnd, nullptr)();
        }
    } ui;
    ui.atFirstFilesEnd = [&] {
        ASSERT_TRUE(waitFor([&] {
            return m_db.column("SELECT to_regclass('\"NewTable2\"')") != QStringList{"<NULL>"} &&
                   m_db.count("\"NewTable2\"") > 0;
        }));
        QThread::msleep(300); // the commit's answer read by the run
    };
    runImport(choices, ui);
    EXPECT_EQ(ui.messages, QStringList{"Done."});
    const auto second =
        std::find_if(ui.progressLog.begin(), ui.progressLog.end(),
                     [](const ImportProgress& progress) { return progress.file == 2; });
    ASSERT_NE(second, ui.progressLog.end());
    EXPECT_GT(second->rowsSent, 150000);
}

// A stop while files go side by side: the file sent ahead still has its turn, which shows what
// it sent and lists its table; the closing message counts every row the tables hold.
TEST_F(ParallelImport, AStopCountsTheRowsOfTheFileSentAhead) {
    QStringList files;
    for (int k = 1; k <= 6; ++k)
        files << file(QStringLiteral("f%1.csv").arg(k), lines(100000, 0, 0));
    for (const qint64 stopAt : {qint64(1), qint64(60000), qint64(150000), qint64(330000)}) {
        SCOPED_TRACE(stopAt);
        dropAll();
        ImportChoices choices = create(files, "T[counter]");
        choices.jobs = 2;
        RecordingFrontEnd ui;
        ui.stopAfterRows = stopAt;
        const ImportResult result = runImport(choices, ui);
        EXPECT_EQ(result.outcome, ImportOutcome::Cancelled);
        qint64 rows = 0;
        for (const QString& table : ui.listed)
            rows += m_db.count(QStringLiteral("\"%1\"").arg(table));
        EXPECT_EQ(result.rowsSent, rows);
        QStringList made = tables();
        made.sort();
        QStringList listed = ui.listed;
        listed.sort();
        EXPECT_EQ(made, listed) << "every table made is listed";
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_TRUE(ui.messages[0].startsWith(
            QStringLiteral("Import stopped. %1 file(s)").arg(result.filesImported)));
    }
}
