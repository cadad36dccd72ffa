// quenmarl-cli's inputs: quoted fields, standard input, process substitution and pipes.
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

class CommandLineInputTest : public ::testing::Test {
protected:
    QStringList connection() const {
        const ConnectionSettings s = m_db.settings();
        return {"--server", s.server,     "--port",   s.port,       "--user",
                s.user,     "--password", s.password, "--database", s.database};
    }

    // Starts the program (or, with a script, bash running it with the arguments as "$@").
    void start(QProcess& process, const QStringList& arguments, const QString& script = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", m_config.path());
        environment.insert("TMPDIR", m_temporary.path());
        process.setProcessEnvironment(environment);
        const QStringList all = connection() + arguments;
        if (script.isEmpty())
            process.start(QStringLiteral(QUENMARL_CLI_PATH), all);
        else
            process.start("bash", QStringList{"-c", script, "bash", QUENMARL_CLI_PATH} + all);
        ASSERT_TRUE(process.waitForStarted());
    }

    void finish(QProcess& process, int exitCode, const QByteArray& out) {
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), exitCode) << process.readAllStandardError().toStdString();
        EXPECT_EQ(process.readAllStandardOutput(), out);
        EXPECT_EQ(QDir(m_temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList())
            << "no temporary file is left behind";
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    QTemporaryDir m_temporary;
    TestDatabase m_db;
};

} // namespace

TEST_F(CommandLineInputTest, QuotedReadsCsvAndWithoutItTheQuotedSeparatorEndsTheRun) {
    const QString path = writeTestFile(
        m_dir, "sheet.csv", "Code,Name\n\"A,1\",\"Bolt \"\"M8\"\"\"\nB,\"two\nlines\"\n");
    QProcess plain;
    start(plain, {"--create", "plain", path});
    finish(plain, 3, "");

    QProcess quoted;
    start(quoted, {"--quoted", "--create", "quoted", path});
    finish(quoted, 0, "Done.\n");
    EXPECT_EQ(m_db.rows("SELECT * FROM quoted ORDER BY ctid"),
              (QStringList{"A,1|Bolt \"M8\"", "B|two\nlines"}));

    QProcess help;
    help.start(QStringLiteral(QUENMARL_CLI_PATH), {"--help"});
    ASSERT_TRUE(help.waitForFinished());
    const QByteArray usage = help.readAllStandardOutput();
    EXPECT_TRUE(usage.contains("--quoted")) << usage.toStdString();
    EXPECT_TRUE(usage.contains("\"-\" reads standard input"));
}

TEST_F(CommandLineInputTest, StandardInputAndProcessSubstitutionAreImported) {
    QProcess fromStdin;
    start(fromStdin, {"--create", "piped", "-"});
    fromStdin.write("a,b\n1,2\n3,4\n");
    fromStdin.closeWriteChannel();
    finish(fromStdin, 0, "Done.\n");
    EXPECT_EQ(m_db.rows("SELECT * FROM piped ORDER BY ctid"), (QStringList{"1|2", "3|4"}));

    QProcess substituted;
    start(substituted, {"--create", "substituted"}, "exec \"$@\" <(printf 'a,b\\n5,6\\n')");
    finish(substituted, 0, "Done.\n");
    EXPECT_EQ(m_db.rows("SELECT * FROM substituted"), QStringList{"5|6"});
}

TEST_F(CommandLineInputTest, CtrlCWhileAPipeAwaitsItsWriter) {
    const QString fifo = m_dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess process;
    start(process, {"--create", "never", fifo});
    EXPECT_FALSE(process.waitForFinished(1000)) << "the run waits for a writer";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    finish(process, 130, "Import stopped. 0 file(s) and 0 row(s) were imported.\n");
    EXPECT_EQ(m_db.column("SELECT to_regclass('never')"), QStringList{"<NULL>"});
}
