#include "MainWindowFixture.h"

#include "database/Connection.h"
#include "windows/Form2.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    database.execute("CREATE TABLE t(n int, t text)");
    startActive();
    const int lines = 300000;
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

    const qint64 in = database.count("t");
    ASSERT_EQ(windows.ui.errors.size(), 1) << windows.ui.errors.join('\n').toStdString();
    EXPECT_TRUE(windows.ui.errors[0].contains(
        QStringLiteral("%1 line(s) of %2, from line %3 on, were not sent: the connection to the "
                       "server was lost and not regained within 2 s.")
            .arg(lines - in)
            .arg(path)
            .arg(in + 2)))
        << windows.ui.errors[0].toStdString();

    windows.ui.errors.clear();
    database.execute("TRUNCATE t");
    clickImport();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join('\n').toStdString();
    EXPECT_EQ(database.count("t"), lines);
}
