#include "MainWindowFixture.h"

#include "database/Connection.h"
#include "shell/NumberText.h"
#include "shell/Settings.h"
#include "widgets/WindowPointer.h"
#include "windows/Form2.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

// What one table made by the run holds.
struct TableRows {
    QString name;
    qint64 rows = 0;
    qint64 distinct = 0; // distinct line numbers
    qint64 least = 0;
    qint64 most = 0;
};

struct ImportConnections : MainWindowFixture {
    // Lines of each file: about 10 MB, above the 8 MiB of lines from which a file is cut into
    // ranges (4 MiB each), so that two connections each take a range.
    static constexpr int Lines = 650000;

    // The runs from now on may use two connections, as the store says before the window reads
    // it at the Import click.
    static void twoConnections() { WriteSetting(SettingKeys::Connections, QStringLiteral("2")); }

    // Writes a numbered file, adds it to the file list and checks that it is big enough to be
    // cut into ranges: a smaller one would make every count below hold for one connection.
    void addBigFile(const QString& name, const QByteArray& lines) {
        const QString path = addFile(name, lines);
        ASSERT_GE(QFileInfo(path).size(), (qint64(8) << 20) + 4);
    }

    // The backends of the test database other than the watcher, all of them or those running a
    // statement at this moment. The watcher is one connection kept open, so that a poll costs a
    // round trip and not a connection.
    int backends(bool activeOnly) {
        if (!watcher)
            watcher.emplace(Connection::open(database.settings()));
        return watcher
            ->query(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                   "current_database() AND backend_type = 'client backend' AND "
                                   "pid <> pg_backend_pid()%1")
                        .arg(activeOnly ? QStringLiteral(" AND state = 'active'") : QString()))
            .value(0, 0)
            .toInt();
    }

    // Every control of the main window that is disabled, as "class name", the progress row
    // left out (it is hidden outside a run and its Cancel disabled once clicked).
    QStringList disabledControls() const {
        QStringList disabled;
        for (const QWidget* control : main->findChildren<QWidget*>()) {
            if (control == main->LabelProgress || control == main->PushButtonCancel)
                continue;
            if (!control->isEnabled())
                disabled << QStringLiteral("%1 %2").arg(
                    QString::fromLatin1(control->metaObject()->className()), control->objectName());
        }
        disabled.sort();
        return disabled;
    }

    // The tables NewTable1, NewTable2, ... over the database, in the order of their numbers.
    QList<TableRows> tablesMade() {
        const QStringList names = database.column(
            QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = 'public' AND "
                           "tablename LIKE 'NewTable%' ORDER BY length(tablename), tablename"));
        QList<TableRows> tables;
        for (const QString& name : names) {
            const QStringList values =
                database
                    .rows(QStringLiteral("SELECT count(*), count(DISTINCT n), "
                                         "coalesce(min(n::int), 0), coalesce(max(n::int), 0) "
                                         "FROM \"%1\"")
                              .arg(name))
                    .value(0)
                    .split(QLatin1Char('|'));
            EXPECT_EQ(values.size(), 4) << name.toStdString();
            tables.append({name, values.value(0).toLongLong(), values.value(1).toLongLong(),
                           values.value(2).toLongLong(), values.value(3).toLongLong()});
        }
        return tables;
    }

    std::optional<Connection> watcher;
};

} // namespace

// Eight files of about 10 MB over two connections, stopped by Cancel in the second file or
// later: while it runs two backends send at once and the progress row names the file's place
// and a rising count; once stopped, the closing message counts exactly the files and the rows
// the tables hold, no line went in twice, no connection stays open and the window is given
// back as it was.
TEST_F(ImportConnections, EightBigFilesOverTwoConnectionsStoppedByCancel) {
    twoConnections();
    start();
    const QByteArray lines = numberedLines(Lines);
    for (int k = 1; k <= 8; ++k)
        ASSERT_NO_FATAL_FAILURE(addBigFile(QStringLiteral("big%1.csv").arg(k), lines));
    ASSERT_TRUE(main->Option1->isChecked()) << "a new table per file";
    ASSERT_EQ(main->Text2->text(), QStringLiteral("NewTable[counter]"));
    const QSize designed = main->size();
    const QStringList disabledBefore = disabledControls();

    clickImport();
    ASSERT_TRUE(main->importRunning());

    // Polled until, in the second file or a later one, two backends are active at this moment
    // and rows of the file in hand are shown, its count having risen twice by then: the click
    // on Cancel then falls while both connections send. Every progress row is checked.
    const QRegularExpression row(
        QStringLiteral("^File (\\d+) of 8: (\\S+)\\n([\\d,]+) rows sent(, [\\d,]+ rows/s)?$"));
    int mostActive = 0;
    int place = 0;
    qint64 shownRows = -1;
    qint64 rowsBeforeFile = 0; // shown when the file in hand was first named
    int rises = 0;
    QStringList unexpected; // rows not worded as above, naming another file, or going back
    ASSERT_TRUE(waitUntil([&] {
        if (!main->importRunning())
            return true;
        const int active = backends(true);
        mostActive = std::max(mostActive, active);
        const QString text = main->LabelProgress->text();
        if (text.isEmpty())
            return false;
        const QRegularExpressionMatch match = row.match(text);
        if (!match.hasMatch()) {
            unexpected << text;
            return false;
        }
        const int k = match.captured(1).toInt();
        const qint64 sent = match.captured(3).remove(QLatin1Char(',')).toLongLong();
        if (match.captured(2) != QStringLiteral("big%1.csv").arg(k) || k < place ||
            sent < shownRows)
            unexpected << text;
        if (shownRows >= 0 && sent > shownRows)
            ++rises;
        if (k > place)
            rowsBeforeFile = sent;
        place = std::max(place, k);
        shownRows = std::max(shownRows, sent);
        return active >= 2 && place >= 2 && sent > rowsBeforeFile && rises >= 2;
    }));
    ASSERT_TRUE(main->importRunning())
        << "the run ended first; most backends active at once: " << mostActive << ", file " << place
        << ", rows shown " << shownRows;
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join(QStringLiteral(" | ")).toStdString();
    EXPECT_GE(mostActive, 2);
    EXPECT_TRUE(main->LabelProgress->isVisible());
    EXPECT_GE(main->LabelProgress->y(), main->PushButton1->geometry().bottom());
    EXPECT_FALSE(main->PushButton1->isEnabled()) << "the window is locked during the run";

    clickInWindow(main->PushButtonCancel, main->PushButtonCancel->rect().center());
    EXPECT_FALSE(main->PushButtonCancel->isEnabled()) << "the click reached Cancel";
    EXPECT_TRUE(main->LabelProgress->text().endsWith(QStringLiteral(" (stopping)")));
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_EQ(main->lastImportResult().outcome, ImportOutcome::Cancelled);

    // The tables over the database: NewTable1 to NewTableN, each line at most once, the full
    // ones first but for the last two: files of like sizes go side by side, and the file in
    // hand and the one sent beside it may both be unfinished, or only the first of them.
    const QList<TableRows> tables = tablesMade();
    qint64 rowsIn = 0;
    int full = 0;
    for (int k = 0; k < tables.size(); ++k) {
        const TableRows& table = tables[k];
        SCOPED_TRACE(table.name.toStdString());
        EXPECT_EQ(table.name, QStringLiteral("NewTable%1").arg(k + 1));
        EXPECT_EQ(table.distinct, table.rows) << "no line twice";
        if (table.rows > 0) {
            EXPECT_GE(table.least, 1);
            EXPECT_LE(table.most, Lines);
        }
        rowsIn += table.rows;
        if (table.rows == Lines)
            ++full;
    }
    for (int k = 0; k + 2 < tables.size(); ++k)
        EXPECT_EQ(tables[k].rows, Lines) << tables[k].name.toStdString() << ": it came before";
    EXPECT_LE(tables.size(), full + 2) << "at most the files in hand were begun";
    EXPECT_GE(full, 1) << "the progress row had passed on to the second file";
    EXPECT_LT(rowsIn, qint64(8) * Lines);
    EXPECT_EQ(windows.ui.messages,
              QStringList{QStringLiteral("Import stopped. %1 file(s) and %2 row(s) were imported.")
                              .arg(groupedCount(full), groupedCount(rowsIn))})
        << "the files and the rows the tables hold";
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();

    // No connection of the run stays open, the further one included.
    EXPECT_TRUE(waitUntil([&] { return backends(false) == 0; }, 10000))
        << backends(false) << " backend(s) left";

    // The window as before the run, its controls unlocked: a click on an option takes.
    EXPECT_FALSE(main->PushButtonCancel->isVisible());
    EXPECT_FALSE(main->LabelProgress->isVisible());
    EXPECT_EQ(main->size(), designed);
    EXPECT_EQ(disabledControls(), disabledBefore);
    EXPECT_TRUE(main->PushButton1->isEnabled());
    EXPECT_EQ(main->pointer()->mode(), WindowPointer::Mode::Default);
    clickMark(main->Option2);
    EXPECT_TRUE(main->Option2->isChecked());
}

// Into a table with a primary key the file is not cut: the whole file goes in over one
// connection, so that which of two equal keys is refused never depends on which connection
// commits first.
TEST_F(ImportConnections, ATableWithAPrimaryKeyTakesTheFileOverOneConnection) {
    twoConnections();
    database.execute("CREATE TABLE keyed(n INTEGER PRIMARY KEY, t TEXT)");
    start();
    ASSERT_NO_FATAL_FAILURE(addBigFile(QStringLiteral("keyed.csv"), numberedLines(Lines)));
    ASSERT_NO_FATAL_FAILURE(chooseTable(QStringLiteral("keyed")));

    clickImport();
    ASSERT_TRUE(main->importRunning());
    int mostActive = 0;
    ASSERT_TRUE(waitUntil([&] {
        mostActive = std::max(mostActive, backends(true));
        return !main->importRunning();
    }));
    EXPECT_EQ(mostActive, 1) << "one backend at a time, and the watcher saw it";
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    EXPECT_EQ(database.rows(QStringLiteral("SELECT count(*), min(n), max(n) FROM keyed")),
              QStringList{QStringLiteral("%1|1|%1").arg(Lines)});
}

// Eight files too short for ranges over two connections, stopped by Cancel: the file after the
// one in hand goes at once over the second connection, and its rows count too. Once stopped,
// the closing message counts exactly the files and rows the tables hold, every table made is
// at the top of the table list in file order, and no connection stays open.
TEST_F(ImportConnections, EightSmallerFilesSideBySideStoppedByCancel) {
    constexpr int Small = 250000; // about 3.4 MB each
    twoConnections();
    start();
    const QByteArray lines = numberedLines(Small);
    for (int k = 1; k <= 8; ++k)
        addFile(QStringLiteral("small%1.csv").arg(k), lines);
    clickImport();
    ASSERT_TRUE(main->importRunning());
    // The progress row never goes back, the rows of the file sent ahead counted with the rest.
    const QRegularExpression row(QStringLiteral("^File (\\d+) of 8: \\S+\\n([\\d,]+) rows sent"));
    int mostSending = 0;
    qint64 shown = 0;
    QStringList backwards;
    ASSERT_TRUE(waitUntil([&] {
        if (!main->importRunning())
            return true;
        mostSending = std::max(mostSending, backends(true));
        const QRegularExpressionMatch match = row.match(main->LabelProgress->text());
        if (match.hasMatch()) {
            const qint64 sent = match.captured(2).remove(QLatin1Char(',')).toLongLong();
            if (sent < shown)
                backwards << main->LabelProgress->text();
            shown = std::max(shown, sent);
        }
        return mostSending >= 2 && match.captured(1).toInt() >= 3;
    }));
    ASSERT_TRUE(main->importRunning()) << "the run ended first";
    EXPECT_TRUE(backwards.isEmpty()) << backwards.join(QStringLiteral(" | ")).toStdString();
    clickInWindow(main->PushButtonCancel, main->PushButtonCancel->rect().center());
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_EQ(main->lastImportResult().outcome, ImportOutcome::Cancelled);

    const QList<TableRows> tables = tablesMade();
    qint64 rowsIn = 0;
    int full = 0;
    QStringList made;
    for (const TableRows& table : tables) {
        EXPECT_EQ(table.distinct, table.rows) << table.name.toStdString() << ": no line twice";
        rowsIn += table.rows;
        full += table.rows == Small ? 1 : 0;
        made.prepend(table.name);
    }
    EXPECT_GE(tables.size(), 2) << "the files before the one named";
    EXPECT_LT(tables.size(), 8);
    EXPECT_EQ(windows.ui.messages,
              QStringList{QStringLiteral("Import stopped. %1 file(s) and %2 row(s) were imported.")
                              .arg(groupedCount(full), groupedCount(rowsIn))});
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    QStringList listed;
    for (int k = 0; k < made.size(); ++k)
        listed << main->List1->item(k)->text();
    EXPECT_EQ(listed, made) << "every table made, the last made on top";
    EXPECT_TRUE(waitUntil([&] { return backends(false) == 0; }, 10000))
        << backends(false) << " backend(s) left";
}
