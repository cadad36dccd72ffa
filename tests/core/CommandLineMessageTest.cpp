// What quenmarl-cli says: usage errors.
#include "support/CommandLineKit.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

class CommandLineMessageTest : public CommandLineFixture {
protected:
    struct Outcome {
        int exitCode = -1;
        QString out;
        QString err;
    };

    Outcome run(const QStringList& rest) {
        QProcess process;
        start(process, rest);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
};

} // namespace

// A usage error is one line naming it and one pointing to --help, on standard error, exit
// status 2; nothing is connected to or imported.
TEST_F(CommandLineMessageTest, UsageErrorsAreOneLineAndAPointerToHelp) {
    const QString good = file("good.csv", "a,b\n1,2\n");
    const struct {
        const char* name;
        QStringList arguments;
        QString problem;
    } cases[] = {
        {"unknown option", {"--create", "t", "--fast", good}, "unknown option --fast"},
        {"missing value", {good, "--create"}, "--create needs a value"},
        {"a switch given a value",
         {"--quoted=yes", "--create", "t", good},
         "--quoted takes no value"},
        {"both table options",
         {"--create", "t", "--append", "u", good},
         "--create and --append exclude each other"},
        {"no table option", {good}, "either --create TEMPLATE or --append TABLE is needed"},
        {"an empty separator",
         {"--separator", "", "--create", "t", good},
         "--separator must not be empty"},
        {"an empty separator after =",
         {"--separator=", "--create", "t", good},
         "--separator must not be empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.err, "quenmarl-cli: " + c.problem + "\nTry 'quenmarl-cli --help'.\n");
        EXPECT_EQ(outcome.out, QString());
    }
    EXPECT_EQ(m_db.column("SELECT to_regclass('t')"), QStringList{"<NULL>"});
}
