#include "ClickKit.h"
#include "FolderAnswer.h"
#include "WindowTestKit.h"

#include "report/RunReport.h"
#include "textfile/FileSnapshot.h"
#include "windows/RunReportWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// "id,name" and then `count` lines "n,value n".
QByteArray valueLines(int count) {
    QByteArray bytes = "id,name\n";
    for (int n = 1; n <= count; ++n)
        bytes += QByteArray::number(n) + ",value " + QByteArray::number(n) + '\n';
    return bytes;
}

// The names in a folder, symbolic links too, sorted.
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::System, QDir::Name);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// A report filled as a run fills it, from files written into a temporary folder.
struct ReportKit {
    QTemporaryDir dir;
    std::shared_ptr<RunReport> report = std::make_shared<RunReport>();

    QString write(const QString& name, const QByteArray& bytes) {
        return writeTestFile(dir, name, bytes);
    }

    // One file's turn: `events` tells the report what happened, then the turn ends over a
    // snapshot of the file, or over none when the run could not read it.
    void turn(const QString& path, const std::function<void(RunReport&)>& events,
              bool readable = true) {
        report->beginFile(path);
        events(*report);
        std::unique_ptr<FileSnapshot> snapshot;
        if (readable)
            snapshot = FileSnapshot::open(path, [] { return false; });
        report->keepRejected(snapshot.get(), FieldRule::Plain, QStringLiteral(","));
        report->endFile();
    }
};

const QString Duplicate =
    QStringLiteral("duplicate key value violates unique constraint \"t_pkey\"");

// a.csv with the records of lines 2, 9 and 10 rejected; b.txt with two lines passed over and
// lines from 5 on not sent; then an error of no file.
struct SampleRun : ReportKit {
    QString a = write(QStringLiteral("a.csv"), valueLines(12));
    QString b = write(QStringLiteral("b.txt"), valueLines(6));

    SampleRun() {
        turn(a, [](RunReport& run) {
            run.rejected(1, QStringLiteral("23505"), Duplicate);
            run.rejected(8, QStringLiteral("22P02"),
                         QStringLiteral("invalid input syntax for type integer: \"x\"\r\n"
                                        "DETAIL:\tLine 9."));
            run.rejected(9, QStringLiteral("23505"), Duplicate);
        });
        turn(b, [](RunReport& run) {
            run.passedOver(QStringLiteral("2 line(s) have too many fields."), 2);
            run.notSent(4, 2, QStringLiteral("The connection was lost."));
        });
        report->failed(QStringLiteral("could not connect to server"));
        report->finish(1, 2, 7);
    }

    // The rows the window lists for it, in the run's order.
    QList<QStringList> rows() const {
        return {
            {a, QStringLiteral("2"), Duplicate, QStringLiteral("1,value 1")},
            {a, QStringLiteral("9"),
             QStringLiteral("invalid input syntax for type integer: \"x\" DETAIL: Line 9."),
             QStringLiteral("8,value 8")},
            {a, QStringLiteral("10"), Duplicate, QStringLiteral("9,value 9")},
            {b, QString(), QStringLiteral("2 line(s) have too many fields."), QString()},
            {b, QStringLiteral("5"), QStringLiteral("The connection was lost."), QString()},
            {QString(), QString(), QStringLiteral("could not connect to server"), QString()},
        };
    }
};

QString tabSeparated(const QList<QStringList>& rows) {
    QString text;
    for (const QStringList& row : rows)
        text += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

struct RunReportWindowTest : ::testing::Test {
    RecordingUserInterface ui;
    std::unique_ptr<RunReportWindow> window;

    void show(const std::shared_ptr<RunReport>& report) {
        window = std::make_unique<RunReportWindow>(report, ui);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QList<QStringList> shownRows() const {
        const QAbstractItemModel* model = window->table()->model();
        QList<QStringList> rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model->columnCount(); ++column)
                cells << model->index(row, column).data().toString();
            rows << cells;
        }
        return rows;
    }

    QStringList shownColumn(int column) const {
        QStringList cells;
        for (const QStringList& row : shownRows())
            cells << row[column];
        return cells;
    }

    void click(QWidget* control) { clickInWindow(control, control->rect().center()); }

    void clickHeader(int column) {
        QHeaderView* header = window->table()->horizontalHeader();
        clickInWindow(header->viewport(), QPoint(header->sectionViewportPosition(column) + 20,
                                                 header->viewport()->height() / 2));
    }

    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTableView* table = window->table();
        const QRect cell = table->visualRect(table->model()->index(row, 1));
        clickInWindow(table->viewport(), cell.center(), modifiers);
    }
};

TEST_F(RunReportWindowTest, ListsEveryEventInTheRunsOrderAndCloses) {
    SampleRun run;
    show(run.report);

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Import Report"));
    EXPECT_TRUE(window->isWindow());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->summary()->text(), run.report->summary());
    EXPECT_TRUE(window->summary()->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_FALSE(window->limitNote()->isVisible());
    EXPECT_EQ(window->searchField()->placeholderText(), QStringLiteral("Search"));
    EXPECT_EQ(window->saveButton()->text(), QStringLiteral("Save Rejected Lines\u2026"));
    EXPECT_TRUE(window->saveButton()->isEnabled());
    QStringList headers;
    for (int column = 0; column < 4; ++column)
        headers << window->table()->model()->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{QStringLiteral("File"), QStringLiteral("Line"),
                                    QStringLiteral("What happened"), QStringLiteral("Text")}));
    EXPECT_EQ(shownRows(), run.rows());

    // The tool tips hold what a cell may not: the whole path, the message with its breaks.
    const QAbstractItemModel* model = window->table()->model();
    EXPECT_EQ(model->index(1, 0).data(Qt::ToolTipRole).toString(), run.a);
    EXPECT_EQ(model->index(1, 2).data(Qt::ToolTipRole).toString(),
              QStringLiteral("invalid input syntax for type integer: \"x\"\r\nDETAIL:\tLine 9."));

    click(window->closeButton());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(RunReportWindowTest, TypingIntoSearchKeepsTheRowsThatHoldTheText) {
    SampleRun run;
    const struct {
        const char* text;
        QStringList lines; // of the rows left
    } cases[] = {
        {"VALUE 9", {QStringLiteral("10")}},               // Text, any case
        {"b.txt", {QString(), QStringLiteral("5")}},       // File
        {"x\" detail", {QStringLiteral("9")}},             // What, as shown on one line
        {"Not Connect", {QString()}},                      // an error of no file
        {"nothing like this", {}},                         // none
        {"", {"2", "9", "10", QString(), "5", QString()}}, // all again
    };
    show(run.report);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        clickInWindow(window->searchField(), window->searchField()->rect().center());
        QTest::keyClick(window->searchField(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window->searchField(), Qt::Key_Backspace);
        QTest::keyClicks(window->searchField(), QString::fromUtf8(c.text));
        EXPECT_EQ(shownColumn(1), c.lines);
    }
}

TEST_F(RunReportWindowTest, HeaderClicksSortAndGiveTheRunsOrderBack) {
    SampleRun run;
    const QStringList runOrder{"2", "9", "10", QString(), "5", QString()};
    const struct {
        const char* name;
        int column;
        int clicks;
        const char* search; // typed after the clicks
        QStringList lines;
    } cases[] = {
        {"lines as numbers", 1, 1, "", {QString(), QString(), "2", "5", "9", "10"}},
        {"again: reversed", 1, 2, "", {"10", "9", "5", "2", QString(), QString()}},
        {"a third time: the run's order", 1, 3, "", runOrder},
        {"by file, no file first, ties in the run's order",
         0,
         1,
         "",
         {QString(), "2", "9", "10", QString(), "5"}},
        {"messages in any case", 2, 1, "", {QString(), QString(), "2", "10", "9", "5"}},
        {"a search keeps the order", 1, 2, "value", {"10", "9", "2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        show(run.report);
        for (int k = 0; k < c.clicks; ++k)
            clickHeader(c.column);
        typeInto(window->searchField(), QString::fromUtf8(c.search));
        EXPECT_EQ(shownColumn(1), c.lines);
    }
}

TEST_F(RunReportWindowTest, CopyPutsTheRowsOnTheClipboardAsTabSeparatedText) {
    SampleRun run;
    const QList<QStringList> rows = run.rows();
    const struct {
        const char* name;
        std::function<void(RunReportWindowTest&)> act;
        QList<QStringList> copied;
    } cases[] = {
        {"Ctrl+C: the rows picked with Ctrl",
         [](RunReportWindowTest& t) {
             t.clickRow(0);
             t.clickRow(2, Qt::ControlModifier);
             QTest::keyClick(t.window->table(), Qt::Key_C, Qt::ControlModifier);
         },
         {rows[0], rows[2]}},
        {"Copy: a range picked with Shift",
         [](RunReportWindowTest& t) {
             t.clickRow(1);
             t.clickRow(3, Qt::ShiftModifier);
             t.click(t.window->copyButton());
         },
         {rows[1], rows[2], rows[3]}},
        {"Copy with nothing selected: every row the search leaves",
         [](RunReportWindowTest& t) {
             typeInto(t.window->searchField(), QStringLiteral("b.txt"));
             t.click(t.window->copyButton());
         },
         {rows[3], rows[4]}},
        {"in the order shown",
         [](RunReportWindowTest& t) {
             t.clickHeader(1);
             t.clickHeader(1);
             t.clickRow(0);
             t.clickRow(1, Qt::ShiftModifier);
             QTest::keyClick(t.window->table(), Qt::Key_C, Qt::ControlModifier);
         },
         {rows[2], rows[1]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        show(run.report);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        c.act(*this);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), tabSeparated(c.copied));
    }
}

TEST_F(RunReportWindowTest, SaveRejectedLinesWritesThePairIntoTheFolderChosen) {
    const QByteArray rejectedLines = "id,name\n1,value 1\n8,value 8\n9,value 9\n";
    const struct {
        const char* name;
        std::function<void(const QString& folder)> prepare;
        bool cancel;
        QString stem; // of the pair written, none when empty
    } cases[] = {
        {"into an empty folder", [](const QString&) {}, false, "a.csv"},
        {"Cancel writes nothing", [](const QString&) {}, true, {}},
        {"beside a pair of that name, which stays as it was",
         [](const QString& folder) {
             QFile old(folder + QStringLiteral("/a.csv.rejected"));
             ASSERT_TRUE(old.open(QIODevice::WriteOnly));
             old.write("kept\n");
         },
         false, "a.csv.2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SampleRun run;
        const QString folder = run.dir.filePath(QStringLiteral("out"));
        ASSERT_TRUE(QDir().mkpath(folder));
        c.prepare(folder);
        const QStringList before = filesIn(folder);
        QList<QByteArray> held;
        for (const QString& name : before)
            held << contentOf(folder + u'/' + name);
        ui.messages.clear();
        ui.errors.clear();
        show(run.report);

        FolderAnswer answer(c.cancel ? QString() : folder);
        click(window->saveButton());
        EXPECT_EQ(answer.shown, 1);
        EXPECT_EQ(answer.title, QStringLiteral("Save Rejected Lines"));
        EXPECT_EQ(answer.start, run.dir.path());

        QStringList after = before;
        QStringList messages;
        if (!c.stem.isEmpty()) {
            const QString lines = c.stem + QStringLiteral(".rejected");
            const QString reasons = c.stem + QStringLiteral(".rejected.csv");
            after << lines << reasons;
            EXPECT_EQ(contentOf(folder + u'/' + lines), rejectedLines);
            EXPECT_TRUE(contentOf(folder + u'/' + reasons).startsWith("line,SQLSTATE,message\n"));
            messages
                << QStringLiteral("Saved 2 file(s) in %1:\r\n%2\r\n%3").arg(folder, lines, reasons);
        }
        EXPECT_EQ(ui.messages, messages);
        after.sort();
        EXPECT_EQ(filesIn(folder), after);
        for (qsizetype k = 0; k < before.size(); ++k)
            EXPECT_EQ(contentOf(folder + u'/' + before[k]), held[k]) << before[k].toStdString();
        EXPECT_TRUE(ui.errors.isEmpty());
    }
}

TEST_F(RunReportWindowTest, AFileThatCanNotBeMadeIsAnApplicationError) {
    ReportKit kit;
    const QString name = QString(246, u'n') + QStringLiteral(".csv"); // no room for ".rejected"
    const QString path = kit.write(name, valueLines(3));
    kit.turn(path, [](RunReport& run) { run.rejected(2, {}, QStringLiteral("value too long")); });
    const QString folder = kit.dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder));
    show(kit.report);

    FolderAnswer answer(folder);
    click(window->saveButton());
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(
        QStringLiteral("Could not create %1/%2.rejected: ").arg(folder, name)))
        << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST_F(RunReportWindowTest, TheNextSaveStartsAtTheFolderChosenBefore) {
    SampleRun run;
    const QString folder = run.dir.filePath(QStringLiteral("first"));
    ASSERT_TRUE(QDir().mkpath(folder));
    show(run.report);
    {
        FolderAnswer answer(folder);
        click(window->saveButton());
    }
    FolderAnswer again{QString()};
    click(window->saveButton());
    EXPECT_EQ(again.start, folder);
    EXPECT_EQ(ui.messages.size(), 1);
}

TEST_F(RunReportWindowTest, NothingToSaveWithoutRejectedLinesKept) {
    const struct {
        const char* name;
        bool readable;      // the run could read the file back for its rejected records
        bool rejectedLines; // besides lines passed over and not sent
        QStringList lines;
    } cases[] = {
        {"lines passed over and not sent only", true, false, {QString(), "4"}},
        {"a file that could not be read back", false, true, {QString(), "3", "4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportKit kit;
        const QString path = kit.write(QStringLiteral("c.csv"), valueLines(5));
        kit.turn(
            path,
            [&](RunReport& run) {
                run.passedOver(QStringLiteral("1 line(s) have too many fields."), 1);
                if (c.rejectedLines)
                    run.rejected(2, {}, QStringLiteral("value too long"));
                run.notSent(3, 2, QStringLiteral("The connection was lost."));
            },
            c.readable);
        if (!c.readable)
            QFile::remove(path);
        kit.report->finish(0, 1, 0);
        show(kit.report);
        EXPECT_EQ(shownColumn(1), c.lines);
        EXPECT_FALSE(window->saveButton()->isEnabled());
        FolderAnswer answer(kit.dir.path());
        click(window->saveButton());
        QTest::qWait(50);
        EXPECT_EQ(answer.shown, 0);
        EXPECT_TRUE(ui.messages.isEmpty());
    }
}

TEST_F(RunReportWindowTest, ListsTheFirst50000EventsAndSavesEveryRejectedLine) {
    ReportKit kit;
    const QByteArray content = valueLines(50001);
    const QString path = kit.write(QStringLiteral("big.csv"), content);
    kit.turn(path, [](RunReport& run) {
        for (qint64 index = 1; index <= 50001; ++index)
            run.rejected(index, QStringLiteral("23505"), Duplicate);
    });
    kit.report->finish(0, 1, 0);
    show(kit.report);

    const QAbstractItemModel* model = window->table()->model();
    ASSERT_EQ(model->rowCount(), 50000);
    EXPECT_EQ(model->index(49999, 1).data().toString(), QStringLiteral("50001"));
    EXPECT_TRUE(window->limitNote()->isVisible());
    EXPECT_EQ(window->limitNote()->text(),
              QStringLiteral("The first 50,000 of 50,001 events are listed; Save Rejected "
                             "Lines\u2026 writes every rejected line."));

    const QString folder = kit.dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder));
    FolderAnswer answer(folder);
    click(window->saveButton());
    EXPECT_EQ(contentOf(folder + QStringLiteral("/big.csv.rejected")), content);
}

} // namespace
