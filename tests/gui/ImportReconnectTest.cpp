#include "MainWindowFixture.h"

#include "database/Connection.h"
#include "windows/Form2.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ImportReconnect : MainWindowFixture {
    // Asked of another database: a database can't refuse connections to itself.
    void refuse(bool refusing) const {
        Connection postgres =
            Connection::open(TestServer::get().settings(QStringLiteral("postgres")));
        postgres.execute(QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS %2")
                             .arg(database.name(), refusing ? "false" : "true"));
        if (refusing)
            postgres.execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM "
                                            "pg_stat_activity WHERE datname = '%1'")
                                 .arg(database.name()));
    }
};

} // namespace

// The database refuses the window's run for longer than the bound (2 s here): the progress row
// says that the server is waited for, and one box, not one a line, names what was not sent.
// Clicked again once the server takes connections, the run goes in from the start.
TEST_F(ImportReconnect, OneBoxForTheLinesOfAServerThatStayedAway) {
    qputenv("QUENMARL_RECONNECT_SECONDS", "2");
    oneConnection(); // several would name a chunk in doubt each
    database.execute("CREATE TABLE t(n int, t text)");
    startActive();
    const int lines = 600000;
    const QString path = addFile("lines.csv", numberedLines(lines));
    clickMark(main->Option2, true);
    clickInWindow(
        main->List1->viewport(),
        main->List1->visualItemRect(main->List1->findItems("t", Qt::MatchExactly)[0]).center());
    clickImport();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning() || database.count("t") > 0; }));
    ASSERT_TRUE(main->importRunning()) << "the run ended before rows were in";
    refuse(true);
    const QString waiting = QStringLiteral(", waiting up to 2 s for the server");
    EXPECT_TRUE(waitUntil(
        [&] { return main->LabelProgress->text().contains(waiting) || !main->importRunning(); }));
    EXPECT_TRUE(main->LabelProgress->text().contains(waiting))
        << main->LabelProgress->text().toStdString();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    refuse(false);
    qunsetenv("QUENMARL_RECONNECT_SECONDS");

    // A chunk whose commit was on its way when the server went may be named in doubt first;
    // the lines after the rows in, or after that chunk, are named as not sent, if any are left.
    const qint64 in = database.count("t");
    const QStringList& errors = windows.ui.errors;
    ASSERT_FALSE(errors.isEmpty());
    qint64 firstNotSent = in + 2;
    const QRegularExpressionMatch doubt =
        QRegularExpression(QStringLiteral("line\\(s\\) of .*, lines (\\d+) to (\\d+), may or may "
                                          "not be in the table"))
            .match(errors[0]);
    if (doubt.hasMatch()) {
        const qint64 first = doubt.captured(1).toLongLong();
        firstNotSent = doubt.captured(2).toLongLong() + 1;
        EXPECT_TRUE(in == first - 2 || in == firstNotSent - 2) << "the chunk in whole or not";
    }
    const bool linesLeft = firstNotSent <= lines + 1;
    ASSERT_EQ(errors.size(), (doubt.hasMatch() ? 1 : 0) + (linesLeft ? 1 : 0))
        << errors.join('\n').toStdString();
    if (linesLeft) {
        EXPECT_TRUE(errors.last().contains(
            QStringLiteral("%1 line(s) of %2, from line %3 on, were not sent: the connection to "
                           "the server was lost and not regained within 2 s.")
                .arg(lines + 2 - firstNotSent)
                .arg(path)
                .arg(firstNotSent)))
            << errors.last().toStdString();
    }

    windows.ui.errors.clear();
    database.execute("TRUNCATE t");
    clickImport();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    EXPECT_EQ(database.count("t"), lines);
}
