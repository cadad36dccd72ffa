// A file that becomes shorter while quenmarl-cli imports it: the lines read before are sent
// and committed, and one message says how far the file was read and what was not.
#include "support/CommandLineKit.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class CommandLineShrinkingFileTest : public CommandLineFixture {};

} // namespace

// Over one connection and over two: with two, the second range's reader may have read ahead
// past the cut before the file shrank, and those lines go in too.
TEST_F(CommandLineShrinkingFileTest, LinesReadBeforeTheCutAreCommittedAndTheRestIsCounted) {
    const int lines = 1000000;
    const QByteArray bytes = numberedLines(lines);
    for (const QString jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs.toStdString());
        const QString path = file("big.csv", bytes);
        const QString table = QStringLiteral("t") + jobs;
        m_db.execute(QStringLiteral("CREATE TABLE %1(n int, t text)").arg(table));
        QProcess process;
        start(process, {"--jobs", jobs, "--append", table, path});
        ASSERT_TRUE(
            waitFor([&] { return m_db.count(table) > 0 || process.state() != QProcess::Running; }));
        ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before rows were in";
        // Cut in the middle of a line, well past what the first range's reader holds once the
        // first rows are in: the lines before the cut are read whole, the one it cuts is not.
        const qint64 cut = bytes.indexOf('\n', bytes.size() * 3 / 5) + 3;
        const qint64 whole = bytes.left(cut).count('\n');
        ASSERT_TRUE(QFile::resize(path, cut));
        ASSERT_TRUE(process.waitForFinished(240000));

        const QString err = withoutSummary(QString::fromUtf8(process.readAllStandardError()));
        EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        EXPECT_TRUE(out.startsWith("Import incomplete. 0 of 1 file(s) and ")) << out.toStdString();
        const QRegularExpressionMatch said =
            QRegularExpression(
                QStringLiteral(
                    "Could not read \\S+: the file became shorter while it was "
                    "imported\\. The last line loaded is line (\\d+); (\\d+) line\\(s\\) "
                    "after it were not read\\."))
                .match(err);
        ASSERT_TRUE(said.hasMatch()) << err.toStdString();
        const qint64 last = said.captured(1).toLongLong();
        EXPECT_EQ(last + said.captured(2).toLongLong(), lines + 1)
            << "the header and every data line";
        if (jobs == QLatin1String("1"))
            EXPECT_EQ(last, whole);
        else
            EXPECT_GE(last, whole);
        EXPECT_EQ(m_db.rows(QStringLiteral("SELECT count(*), count(DISTINCT n), min(n), max(n) "
                                           "FROM %1")
                                .arg(table)),
                  QStringList{QStringLiteral("%1|%1|1|%1").arg(last - 1)})
            << "lines 2 to " << last << ", each once";
        EXPECT_EQ(err.count('\n'), 1) << "one message: " << err.toStdString();
    }
}
