// Compressed files, made by Debian's own compressors, read by quenmarl-cli as their content:
// the same rows and the same messages as the plain file, whatever the name says; an archive
// cut short keeps the lines before the cut and names the first that was lost; a .zip of
// several files and a file that would unpack past the free room are passed over.
#include "support/CommandLineKit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Runs a shell command line with the arguments after it as $1, $2, ...; its standard output.
QByteArray shell(const QString& script, const QStringList& arguments = {}) {
    QProcess process;
    process.start(QStringLiteral("sh"), QStringList{"-c", script, "sh"} + arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

class CommandLineCompressedTest : public CommandLineFixture {
protected:
    // The file at path compressed by the command line given (which reads $1 and writes to
    // standard output), as a file of this name.
    QString compressed(const QString& path, const QString& command, const QString& name) {
        return file(name, shell(command, {path}));
    }

    QStringList table(const QString& name) {
        return m_db.rows(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(name));
    }
};

// Quoted records over two lines, a separator and a quote inside quotes, text beyond ASCII,
// empty lines and a value the table refuses: every kind, named as it is listed and not by its
// extension, gives the rows and the messages of the plain file.
TEST_F(CommandLineCompressedTest, EveryKindGivesTheRowsAndMessagesOfThePlainFile) {
    QByteArray bytes = "n;note\n";
    for (int n = 1; n <= 3000; ++n) {
        if (n % 1000 == 0)
            bytes += "x" + QByteArray::number(n) + ";not a number\n";
        else if (n % 700 == 0)
            bytes += "\n";
        else if (n % 3 == 0)
            bytes += QByteArray::number(n) + ";\"two\nlines; \"\"quoted\"\"\"\n";
        else
            bytes += QByteArray::number(n) + ";Grüße " + QByteArray::number(n * 7) + "\n";
    }
    const QString plain = file("plain.csv", bytes);
    const QList<std::pair<QString, QString>> kinds{
        {"gzip -c \"$1\"", "export-gz.csv"},
        {"bzip2 -c \"$1\"", "export.bz2"},
        {"xz -c \"$1\"", "export.xz.txt"},
        {"zstd -q -c \"$1\"", "export.zst"},
        {"cd \"$(dirname \"$1\")\" && zip -q - \"$(basename \"$1\")\"", "export.zip"},
    };
    const auto load = [&](const QString& path, const QString& into) {
        m_db.execute(QStringLiteral("CREATE TABLE %1(n int, note text)").arg(into));
        Outcome outcome = run({"--quoted", "--separator", ";", "--append", into, path});
        outcome.err.replace(path, QStringLiteral("FILE"));
        return outcome;
    };
    const Outcome expected = load(plain, QStringLiteral("plain_rows"));
    EXPECT_EQ(expected.exitCode, 1) << expected.err.toStdString();
    EXPECT_EQ(expected.err.count(QStringLiteral("FILE:")), 3) << expected.err.toStdString();
    const QStringList rows = table(QStringLiteral("plain_rows"));
    ASSERT_EQ(rows.size(), 3000 - 3 - 4);
    for (int k = 0; k < kinds.size(); ++k) {
        SCOPED_TRACE(kinds[k].second.toStdString());
        const QString path = compressed(plain, kinds[k].first, kinds[k].second);
        ASSERT_NE(QFile(path).size(), QFile(plain).size());
        const QString into = QStringLiteral("kind%1").arg(k);
        const Outcome got = load(path, into);
        EXPECT_EQ(got.exitCode, expected.exitCode);
        EXPECT_EQ(got.err, expected.err);
        EXPECT_EQ(got.out, expected.out);
        EXPECT_EQ(table(into), rows);
    }
}

// A gzip file cut in the middle: the lines before the cut go in, the cut line does not; the
// message names the file as listed and the first line not read; the run goes on.
TEST_F(CommandLineCompressedTest, CutShortArchiveKeepsTheLinesBeforeAndNamesTheFirstLost) {
    const QString plain = file("big.csv", numberedLines(200000));
    const QString whole = compressed(plain, "gzip -c \"$1\"", "whole.csv.gz");
    const QByteArray packed = [&] {
        QFile f(whole);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }();
    const QString cut = file("cut.csv.gz", packed.left(packed.size() / 2));
    const QString next = file("next.csv", "n,t\n1,a\n");
    m_db.execute("CREATE TABLE t(n int, t text)");

    const Outcome outcome = run({"--append", "t", cut, next});
    EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
    const QRegularExpressionMatch said =
        QRegularExpression(
            QStringLiteral("^%1: passed over: the compressed content of the file breaks off "
                           "after line (\\d+) \\([^\\n]+\\): line (\\d+) and what follows could "
                           "not be read\\.$")
                .arg(QRegularExpression::escape(cut)),
            QRegularExpression::MultilineOption)
            .match(outcome.err);
    ASSERT_TRUE(said.hasMatch()) << outcome.err.toStdString();
    const qint64 last = said.captured(1).toLongLong();
    EXPECT_EQ(said.captured(2).toLongLong(), last + 1);
    EXPECT_GT(last, 1000);
    EXPECT_LT(last, 200000);
    // Every line up to the last whole one, the next file's row besides; none cut in half.
    EXPECT_EQ(m_db.rows("SELECT count(*), count(DISTINCT n), max(n) FROM t WHERE n > 1 OR "
                        "t <> 'a'"),
              QStringList{QStringLiteral("%1|%1|%1").arg(last - 1)});
    EXPECT_EQ(m_db.count("t"), last);
    EXPECT_TRUE(outcome.out.startsWith("Import incomplete. 1 of 2 file(s)"))
        << outcome.out.toStdString();
}

// Quoted records of three lines each, the middle one long, so that a break almost always falls
// inside a record: its open quote is not reported as the file's fault; the content ends before
// that record, whose first line is named as the first not read.
TEST_F(CommandLineCompressedTest, BreakInsideAQuotedRecordEndsTheContentBeforeThatRecord) {
    QByteArray bytes = "n,note\n";
    for (int n = 1; n <= 20000; ++n)
        bytes += QByteArray::number(n) + ",\"a\n" + QByteArray::number(n * 7919).repeated(60) +
                 "\nb\"\n";
    const QString plain = file("quoted.csv", bytes);
    const QByteArray packed = shell("gzip -c \"$1\"", {plain});
    for (const int percent : {40, 50, 60}) {
        SCOPED_TRACE(percent);
        const QString cut = file(QStringLiteral("cut%1.gz").arg(percent),
                                 packed.left(packed.size() * percent / 100));
        const QString into = QStringLiteral("q%1").arg(percent);
        m_db.execute(QStringLiteral("CREATE TABLE %1(n int, note text)").arg(into));
        const Outcome outcome = run({"--quoted", "--append", into, cut});
        EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
        const QRegularExpressionMatch said =
            QRegularExpression(QStringLiteral("breaks off after line (\\d+) \\([^\\n]+\\): "
                                              "line (\\d+) and what follows"))
                .match(outcome.err);
        ASSERT_TRUE(said.hasMatch()) << outcome.err.toStdString();
        const qint64 firstLost = said.captured(2).toLongLong();
        EXPECT_EQ((firstLost - 2) % 3, 0) << "a record's first line";
        const qint64 records = (firstLost - 2) / 3;
        EXPECT_EQ(m_db.rows(QStringLiteral("SELECT count(*), max(n) FROM %1 WHERE note = "
                                           "E'a\\n' || repeat((n * 7919)::text, 60) || E'\\nb'")
                                .arg(into)),
                  QStringList{QStringLiteral("%1|%1").arg(records)});
    }
}

// A .zip of one file (with a folder and the resources a Mac adds) is that file; one of
// several is passed over with their names, and the run goes on.
TEST_F(CommandLineCompressedTest, ZipOfOneFileIsReadAndZipOfSeveralIsPassedOverNamingThem) {
    const QString a = file("a.csv", "n,t\n1,one\n2,two\n");
    file("b.csv", "n,t\n3,three\n");
    const QString folder = QFileInfo(a).absolutePath();
    shell("cd \"$1\" && mkdir -p inner __MACOSX && cp a.csv inner/ && echo x > __MACOSX/._a.csv && "
          "zip -q -r one.zip inner __MACOSX && zip -q two.zip a.csv b.csv",
          {folder});
    m_db.execute("CREATE TABLE t(n int, t text)");

    const Outcome outcome = run({"--append", "t", folder + "/two.zip", folder + "/one.zip"});
    EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.contains(
        QStringLiteral("%1/two.zip: passed over: could not unpack the file: the archive holds 2 "
                       "files (a.csv, b.csv); only a .zip that holds one file is read; no row was "
                       "sent.\n")
            .arg(folder)))
        << outcome.err.toStdString();
    EXPECT_EQ(m_db.rows("SELECT n, t FROM t ORDER BY n"), (QStringList{"1|one", "2|two"}));
}

// Inputs whose temporary copy would outgrow a small file system's free room: a small file that
// unpacks to much more, standard input that goes on and on, a UTF-16 file whose UTF-8 text is
// bigger than the room. Each copy stops well before the room runs out, the input is passed
// over, and the next file still goes in.
TEST_F(CommandLineCompressedTest, CopiesThatWouldFillTheTemporaryFolderAreRefusedBeforeThey) {
    const QString bomb = file("bomb.gz", shell("yes 1,a | head -c 200000000 | gzip -1"));
    ASSERT_LT(QFile(bomb).size(), 2000000);
    const QString wide = file(
        "wide.csv",
        utf16LittleEndian(
            QString::fromUtf16(u"n,t\n") +
            QString::fromUtf16(u"1,\u20AC\u20AC\u20AC\u20AC\u20AC\u20AC\n").repeated(1500000)));
    const QString next = file("next.csv", "n,t\n7,seven\n");
    m_db.execute("CREATE TABLE t(n int, t text)");
    QProcess process;
    // A file system of 32 MiB of its own, seen by this process alone, as the temporary folder.
    process.setProgram(QStringLiteral("unshare"));
    process.setArguments(QStringList{"--mount", "--propagation", "private", "sh", "-c",
                                     "mount -t tmpfs -o size=32m quenmarl-test \"$0\" && "
                                     "export TMPDIR=\"$0\" && "
                                     "yes 1,a | head -c 200000000 | \"$@\"",
                                     m_dir.path() + "/room", QStringLiteral(QUENMARL_CLI_PATH)} +
                         arguments({"--append", "t", bomb, "-", wide, next}));
    ASSERT_TRUE(QDir().mkpath(m_dir.path() + "/room"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    process.setProcessEnvironment(environment);
    process.start();
    const Outcome outcome = finishRun(process);
    EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
    const QList<std::pair<QString, QString>> refused{
        {bomb, "could not unpack the file: its content is larger than the room left for a "
               "temporary copy in \\S+ \\((\\d+) MiB unpacked, (\\d+) MiB free\\)"},
        {"/dev/stdin", "could not copy the file into a temporary file: it is larger than the "
                       "room left in \\S+ \\((\\d+) MiB written, (\\d+) MiB free\\)"},
        {wide, "could not convert the file into a temporary file: it is larger than the room "
               "left in \\S+ \\((\\d+) MiB written, (\\d+) MiB free\\)"}};
    for (const auto& [path, cause] : refused) {
        SCOPED_TRACE(path.toStdString());
        const QRegularExpressionMatch said =
            QRegularExpression(QStringLiteral("%1: passed over: %2; no line of it was read; no "
                                              "row was sent\\.")
                                   .arg(QRegularExpression::escape(path), cause))
                .match(outcome.err);
        ASSERT_TRUE(said.hasMatch()) << outcome.err.toStdString();
        EXPECT_GE(said.captured(2).toInt(), 3) << "a tenth of the room stays free";
    }
    EXPECT_EQ(m_db.rows("SELECT n, t FROM t"), QStringList{"7|seven"});
}

} // namespace
