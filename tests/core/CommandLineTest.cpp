#include "shell/Settings.h"
#include "support/CommandLineKit.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs quenmarl-cli with a settings store of its own in configFolder, without PGPASSWORD and
// with a password file that does not exist unless the extra variables say otherwise.
Outcome runCli(const QStringList& arguments, const QString& configFolder,
               const QMap<QString, QString>& extra = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    environment.remove(QStringLiteral("PGPASSWORD"));
    environment.insert(QStringLiteral("PGPASSFILE"), configFolder + QStringLiteral("/no-pgpass"));
    for (auto it = extra.begin(); it != extra.end(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUENMARL_CLI_PATH), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "quenmarl-cli did not finish: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            withoutSummary(QString::fromUtf8(process.readAllStandardError()))};
}

class CommandLineTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        return writeTestFile(m_dir, name, bytes);
    }

    QStringList connection() const {
        const ConnectionSettings s = m_db.settings();
        return {"--server", s.server,     "--port",   s.port,       "--user",
                s.user,     "--password", s.password, "--database", s.database};
    }

    Outcome run(const QStringList& arguments) {
        return runCli(connection() + arguments, m_config.path());
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    TestDatabase m_db;
};

} // namespace

TEST_F(CommandLineTest, ExitStatusesAndWhereEachTextGoes) {
    m_db.execute("CREATE TABLE people(name TEXT, n INTEGER)");
    const QString good = file("good.csv", "name,n\nAnn,1\n");
    const QString bad = file("bad.csv", "name,n\nBob,x\nCid,2\n");
    const QString cut = file("cut.csv", "name,n\n\"Smith, John\",3\n");
    const QString wide = file("wide.csv", "name,n,city\nAnn,1,Rome\n");
    const QString single = file("single.csv", "name;n\nAnn;1\n");
    const QString viewed = file("viewed.csv", "name,n\nFay,5\n");
    m_db.execute("CREATE VIEW imp1 AS SELECT * FROM people");
    const struct {
        const char* name;
        QStringList arguments;
        bool withConnection;
        int exitCode;
        QString out; // what standard output holds
        QString err; // what standard error holds; empty: nothing at all
    } cases[] = {
        {"help", {"--help"}, false, 0, "Exit status:", ""},
        {"version", {"--version", "--fast"}, false, 0, "quenmarl-cli (Quenmarl) 0.", ""},
        {"version with a value", {"--version=1"}, false, 2, "", "--version takes no value"},
        {"no table option", {good}, false, 2, "", "either --create TEMPLATE or --append TABLE"},
        {"both table options",
         {"--create", "t", "--append", "people", good},
         false,
         2,
         "",
         "exclude each other"},
        {"unknown option", {"--create", "t", "--fast", good}, false, 2, "", "--fast"},
        {"missing value", {good, "--create"}, false, 2, "", "--create needs a value"},
        {"no jobs",
         {"--jobs", "0", "--create", "t", good},
         false,
         2,
         "",
         "--jobs needs a number from 1 to 64"},
        {"jobs not a number",
         {"--jobs=two", "--create", "t", good},
         false,
         2,
         "",
         "--jobs needs a number from 1 to 64"},
        {"too many jobs",
         {"--jobs=65", "--create", "t", good},
         false,
         2,
         "",
         "--jobs needs a number from 1 to 64"},
        {"names without create",
         {"--append", "people", "--column-names", "a", good},
         false,
         2,
         "",
         "--column-names goes with --create"},
        {"types without create",
         {"--append", "people", "--detect-types", good},
         false,
         2,
         "",
         "--detect-types goes with --create"},
        {"no files", {"--create", "t"}, true, 2, "No files added.\n", ""},
        {"refused connection",
         {"--server", "127.0.0.1", "--port", "1", "--user", "u", "--database", "d", "--create", "t",
          good},
         false,
         2,
         "",
         "quenmarl-cli: could not connect to the database server at host 127.0.0.1, port 1 as "
         "user u, database d:\n"},
        {"unknown table",
         {"--append", "nosuch", good},
         true,
         2,
         "Please select a table.\n",
         "no table named nosuch"},
        {"template listed",
         {"--create", "PEOPLE", good},
         true,
         2,
         "Table name already exists.\n",
         ""},
        {"field count",
         {"--append=people", good, cut, good},
         true,
         3,
         "",
         cut + ":2: \"Smith, John\",3\n"},
        {"rejected row",
         {"--append", "people", bad},
         true,
         1,
         "Import incomplete. 1 of 1 file(s) and 1 row(s) were imported; 1 error(s) were "
         "reported and 0 file(s) were passed over.\n",
         bad + ":2: ERROR:  invalid input syntax for type integer: \"x\"\n"},
        {"rejected row beats a file passed over",
         {"--append", "people", wide, bad},
         true,
         1,
         "Import incomplete. 1 of 2 file(s) and 1 row(s) were imported; 1 error(s) were "
         "reported and 1 file(s) were passed over.\n",
         wide + ": passed over: the file has 3 columns"},
        {"column counts differ",
         {"--append", "people", good, wide},
         true,
         4,
         "The table people has 2 columns.\nImport incomplete. 1 of 2 file(s) and 1 row(s) "
         "were imported; 0 error(s) were reported and 1 file(s) were passed over.\n",
         wide + ": passed over: the file has 3 columns and the table \"people\" has 2; no row "
                "was sent.\n"},
        {"no line holds the separator",
         {"--create", "single", single},
         true,
         4,
         "No rows were sent from " + single +
             ": no line holds the separator \",\".\nImport incomplete. 0 of 1 file(s) and 0 "
             "row(s) were imported; 0 error(s) were reported and 1 file(s) were passed over.\n",
         single + ": passed over: no line holds the separator \",\"; no row was sent.\n"},
        {"table not created, so no row sent",
         {"--create", "imp[counter]", viewed},
         true,
         1,
         viewed + " was skipped because its table \"imp1\" could not be created; no row was "
                  "sent.\nImport incomplete. 0 of 1 file(s) and 0 row(s) were imported; 1 "
                  "error(s) were reported and 0 file(s) were passed over.\n",
         viewed + ": ERROR:  relation \"imp1\" already exists\n"},
        {"all good", {"--append", "people", good}, true, 0, "Done.\n", ""},
    };
    for (const auto& c : cases) {
        const Outcome outcome =
            c.withConnection ? run(c.arguments) : runCli(c.arguments, m_config.path());
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.name << "\n" << outcome.err.toStdString();
        if (c.out.isEmpty())
            EXPECT_TRUE(outcome.out.isEmpty()) << c.name << ": " << outcome.out.toStdString();
        else
            EXPECT_TRUE(outcome.out.contains(c.out)) << c.name << ": " << outcome.out.toStdString();
        if (c.err.isEmpty())
            EXPECT_TRUE(outcome.err.isEmpty()) << c.name << ": " << outcome.err.toStdString();
        else
            EXPECT_TRUE(outcome.err.contains(c.err)) << c.name << ": " << outcome.err.toStdString();
    }
    // The server's own words follow the refused connection's line.
    const Outcome refused =
        runCli({"--server", "127.0.0.1", "--port", "1", "--create", "t", good}, m_config.path());
    EXPECT_TRUE(refused.err.contains("Connection refused")) << refused.err.toStdString();
    // With --full-messages, the rejected row's error is the whole "Application Error" text
    // with its step, on standard error only; the good rows stayed.
    const Outcome rejected = run({"--full-messages", "--append", "people", bad});
    EXPECT_TRUE(rejected.err.contains(
        "in Quenmarl2021/08/31.Form2.PushButton1_Click at line 342\n\nPlease email screenshot"));
    EXPECT_EQ(rejected.out, "Done.\n");
    EXPECT_EQ(m_db.column("SELECT count(*) FROM people WHERE name = 'Cid'"), QStringList{"3"});
    EXPECT_EQ(m_db.column("SELECT count(*) FROM people WHERE name = 'Fay'"), QStringList{"0"})
        << "no row went through the view";
}

TEST_F(CommandLineTest, ImportsAFolderIntoNewTablesAndIntoAnExistingOne) {
    const QString a = file("a.csv", "Name,City\r\nAnn,Rome\r\n");
    const QString b = file("b.csv", "Name,City\nBob,Oslo\nCid,Lima\n");
    const QString c = file("c.csv", "Name,City,Zip\nDan,Bonn,53\n");
    const QString d = file("d.csv", "x,y\nEve,Kiel\n");

    Outcome outcome = run({"--create", "load[counter]", a, b, c});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Done.\n");
    EXPECT_EQ(m_db.rows("SELECT * FROM load1"), QStringList{"Ann|Rome"});
    EXPECT_EQ(m_db.rows("SELECT * FROM load2"), (QStringList{"Bob|Oslo", "Cid|Lima"}));
    EXPECT_EQ(m_db.rows("SELECT * FROM load3"), QStringList{"Dan|Bonn|53"});

    outcome = run({"--append", "load1", b, c, d});
    EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "The columns in the text file and the columns in the table must be "
                           "identical.\n\n" +
                               c +
                               " was split by , and has 3 columns. The table load1 has 2 "
                               "columns.\nImport incomplete. 2 of 3 file(s) and 3 row(s) were "
                               "imported; 0 error(s) were reported and 1 file(s) were passed "
                               "over.\n");
    EXPECT_EQ(m_db.rows("SELECT * FROM load1"),
              (QStringList{"Ann|Rome", "Bob|Oslo", "Cid|Lima", "Eve|Kiel"}));

    // A template without "[counter]": the second file is skipped.
    outcome = run({"--create", "once", a, b});
    EXPECT_EQ(outcome.exitCode, 4);
    EXPECT_EQ(outcome.out, "Import incomplete. 1 of 2 file(s) and 1 row(s) were imported; 0 "
                           "error(s) were reported and 1 file(s) were passed over.\n");
    EXPECT_EQ(outcome.err, b + ": passed over: the table name \"once\" is already in the list of "
                               "existing tables; no row was sent.\n");
    // Each file's chunks were marked, and each marker was removed by a later file or the end.
    EXPECT_EQ(m_db.column("SELECT count(*) FROM pg_largeobject_metadata"), QStringList{"0"});
}

TEST_F(CommandLineTest, TypedNamesAndSeparator) {
    const QString a = file("a.txt", "ignored||header\n1||2\n");
    const QString b = file("b.txt", "one||two||three\n1||2||3\n");
    const Outcome outcome = run({"--separator", "||", "--column-names", "First Col,Second",
                                 "--create", "typed[counter]", a, b});
    EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Import incomplete. 1 of 2 file(s) and 1 row(s) were imported; 0 "
                           "error(s) were reported and 1 file(s) were passed over.\n");
    EXPECT_EQ(outcome.err, b + ": passed over: no name was given for column #3; no table was "
                               "created and no row was sent.\n");
    EXPECT_EQ(m_db.columnsOf("typed1"), (QStringList{"FirstCol text", "Second text"}));
    EXPECT_EQ(m_db.rows("SELECT * FROM typed1"), QStringList{"1|2"});
    EXPECT_TRUE(m_db.column("SELECT tablename FROM pg_tables WHERE tablename = 'typed2'").isEmpty())
        << "the three-field file runs out of names and is skipped";
}

TEST_F(CommandLineTest, MissingConnectionValuesComeFromTheStoreWhichIsNeverWritten) {
    TemporarySettings store;
    const ConnectionSettings s = m_db.settings();
    WriteSetting(SettingKeys::PostgreSQLServer, s.server);
    WriteSetting(SettingKeys::PostgreSQLPort, s.port);
    WriteSetting(SettingKeys::PostgreSQLUser, s.user);
    WriteSetting(SettingKeys::PostgreSQLPassword, QStringLiteral("stale password"));
    WriteSetting(SettingKeys::PostgreSQLDatabase, QStringLiteral("postgres"));
    QFile stored(settings::storeFile());
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QByteArray before = stored.readAll();
    stored.close();

    const QString a = file("a.csv", "h1,h2\n1,2\n");
    const Outcome outcome =
        runCli({"--password", s.password, "--database", s.database, "--create", "fromstore", a},
               store.folder());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(m_db.rows("SELECT * FROM fromstore"), QStringList{"1|2"});

    const Outcome stale =
        runCli({"--database", s.database, "--create", "other", a}, store.folder());
    EXPECT_EQ(stale.exitCode, 2) << "a failed start";
    EXPECT_TRUE(stale.err.contains("could not connect")) << stale.err.toStdString();
    EXPECT_TRUE(stale.err.contains("password authentication failed")) << stale.err.toStdString();

    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), before) << "options are for one run only";
}

TEST_F(CommandLineTest, PasswordComesFromTheOptionPgpasswordTheStoreOrThePasswordFile) {
    m_db.execute("CREATE TABLE pw(a TEXT, b TEXT)");
    const QString a = file("a.csv", "h1,h2\n1,2\n");
    const ConnectionSettings s = m_db.settings();
    const QString right = s.password;
    const QString passFile = m_dir.filePath("pgpass");
    const QString passLine = QStringList{s.server, s.port, s.database, s.user, right}.join(':');
    const struct {
        const char* name;
        QString storedServer;
        QString storedPassword;
        bool storeOpen;      // the settings file readable by others
        QStringList options; // before --append
        QString pgpassword;  // PGPASSWORD, unset when empty
        bool passwordFile;   // a password file with the right password
        int exitCode;
        const char* err; // what standard error holds
    } cases[] = {
        {"the private store", s.server, right, false, {}, "", false, 0, ""},
        {"PGPASSWORD, nothing stored", s.server, "", false, {}, right, false, 0, ""},
        {"PGPASSWORD over a stale stored one", s.server, "stale", false, {}, right, false, 0, ""},
        {"--password over PGPASSWORD",
         s.server,
         "",
         false,
         {"--password", right},
         "wrong",
         false,
         0,
         ""},
        {"the password file, nothing stored", s.server, "", false, {}, "", true, 0, ""},
        {"the store's password stays with the store's server",
         "localhost",
         "stale",
         false,
         {"--server", s.server},
         "",
         true,
         0,
         ""},
        {"a store open to others",
         s.server,
         right,
         true,
         {},
         "",
         false,
         2,
         "can be read or written by other users, so its password is not used"},
        {"a store open to others, the password file",
         s.server,
         right,
         true,
         {},
         "",
         true,
         0,
         "can be read or written by other users"},
    };
    for (const auto& c : cases) {
        TemporarySettings store;
        WriteSetting(SettingKeys::PostgreSQLServer, c.storedServer);
        WriteSetting(SettingKeys::PostgreSQLPort, s.port);
        WriteSetting(SettingKeys::PostgreSQLUser, s.user);
        WriteSetting(SettingKeys::PostgreSQLPassword, c.storedPassword);
        WriteSetting(SettingKeys::PostgreSQLDatabase, s.database);
        if (c.storeOpen)
            QFile::setPermissions(settings::storeFile(), QFileDevice::ReadOwner |
                                                             QFileDevice::WriteOwner |
                                                             QFileDevice::ReadOther);
        QMap<QString, QString> environment;
        if (!c.pgpassword.isEmpty())
            environment.insert("PGPASSWORD", c.pgpassword);
        if (c.passwordFile) {
            writeTestFile(m_dir, "pgpass", passLine.toUtf8() + "\n");
            QFile::setPermissions(passFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            environment.insert("PGPASSFILE", passFile);
        }
        const Outcome outcome =
            runCli(c.options + QStringList{"--append", "pw", a}, store.folder(), environment);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.name << "\n" << outcome.err.toStdString();
        if (*c.err)
            EXPECT_TRUE(outcome.err.contains(c.err)) << c.name << ": " << outcome.err.toStdString();
        else
            EXPECT_TRUE(outcome.err.isEmpty()) << c.name << ": " << outcome.err.toStdString();
    }
    EXPECT_EQ(m_db.column("SELECT count(*) FROM pw"), QStringList{"7"});
}

TEST_F(CommandLineTest, ControlCharactersFromFilesAreShownNotObeyed) {
    m_db.execute("CREATE TABLE people(name TEXT, n INTEGER)");
    const QString red = file("red\x1b[31m.csv", "name,n\nAnn\x1b[2J,\x1b[H1\x08\x7f\xc2\x9b\n");
    const QString cut = file("cut.csv", "name,n\nx,1\n\x1b]0;title\x07\n");
    for (const QStringList& arguments :
         {QStringList{"--append", "people", red}, QStringList{"--append", "people", cut},
          QStringList{"--append", "people", "--separator", "\x1b", red}}) {
        const Outcome outcome = run(arguments);
        for (const QChar c : outcome.out + outcome.err) {
            const char16_t u = c.unicode();
            EXPECT_FALSE((u < 0x20 && u != '\n' && u != '\t') || (u >= 0x7F && u <= 0x9F))
                << "control character " << int(u) << " in\n"
                << (outcome.out + outcome.err).toStdString();
        }
    }
    const Outcome rejected = run({"--append", "people", red});
    EXPECT_TRUE(rejected.err.contains(m_dir.filePath("red^[[31m.csv") + ":2: ERROR:  "))
        << rejected.err.toStdString();
    EXPECT_TRUE(rejected.err.contains("\"^[[H1^H^?<U+009B>\"")) << rejected.err.toStdString();
    const Outcome report = run({"--append", "people", cut});
    EXPECT_TRUE(report.err.contains(cut + ":3: ^[]0;title^G\n")) << report.err.toStdString();
}

// Files that give nothing to import are named once each on standard error, and the run goes on
// with the next file: exit status 4, not 3 (a field-count mismatch) or 1 (an error).
TEST_F(CommandLineTest, FilesThatGiveNoTableArePassedOverAndTheRunGoesOn) {
    const QString missing = m_dir.filePath("missing.csv");
    const QString folder = m_dir.filePath("folder");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder"));
    const QString empty = file("empty.csv", "");
    const QString blank = file("blank.csv", "\r\na,b\n1,2\n");
    const QString unnamed = file("unnamed.csv", "a,,c\n1,2,3\n");
    const QString good = file("good.csv", "a,b\n3,4\n");
    const Outcome outcome =
        run({"--create", "t[counter]", missing, folder, empty, blank, unnamed, good});
    EXPECT_EQ(outcome.exitCode, 4) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Import incomplete. 1 of 6 file(s) and 1 row(s) were imported; 0 "
                           "error(s) were reported and 5 file(s) were passed over.\n");
    EXPECT_EQ(outcome.err,
              missing +
                  ": passed over: could not open the file: No such file or directory; no "
                  "row was sent.\n" +
                  folder +
                  ": passed over: could not open the file: Is a directory; no row was "
                  "sent.\n" +
                  empty + ": passed over: the file is empty; no row was sent.\n" + blank +
                  ": passed over: the first line is empty, so the file has no columns; no row "
                  "was sent.\n" +
                  unnamed +
                  ": passed over: in the first line, field 2 gives no column name (a name is "
                  "made of a field's ASCII letters and digits); no table was created and no row "
                  "was sent.\n");
    EXPECT_EQ(m_db.rows("SELECT * FROM t6"), QStringList{"3|4"});
    EXPECT_EQ(m_db.column("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"),
              QStringList{"1"});
}

// The field-count report shows the start of a long record, how much was left out and, under the
// quoted rule, why the record ends there.
TEST_F(CommandLineTest, TheFieldCountReportShowsTheStartOfTheRecordAndWhyItEnds) {
    const QString open = file("open.csv", "a,b\n1,2\n3,\"" + QByteArray(100000, 'y') + "\n4,5\n");
    const Outcome outcome = run({"--quoted", "--create", "t", open});
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, open + ":3: 3,\"" + QString(1997, 'y') +
                               " \u2026 (98,003 more characters)\n" + open +
                               ":3: The quote opened in line 3 is never closed.\n");
    const Outcome full = run({"--full-messages", "--quoted", "--create", "t", open});
    EXPECT_EQ(full.err, open + ":\nLine no 2: 3,\"" + QString(1997, 'y') +
                            " \u2026 (98,003 more characters)\nThe quote opened in line 2 is "
                            "never closed.\n");
}

// The server's notices are named with their file on standard error, never printed bare.
TEST_F(CommandLineTest, ServerNoticesAreNamedWithTheirFile) {
    m_db.execute("CREATE TABLE t(a text, b text);"
                 "CREATE FUNCTION note() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                 "IF NEW.a = 'quiet' THEN "
                 "RAISE WARNING 'going away' USING ERRCODE = 'admin_shutdown'; "
                 "ELSE RAISE WARNING 'saw %', NEW.a USING HINT = 'look'; END IF; "
                 "RETURN NEW; END$$;"
                 "CREATE TRIGGER note BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION note()");
    const QString a = file("a.csv", "a,b\nAnn,1\nquiet,2\n");
    const Outcome outcome = run({"--append", "t", a});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Done.\n");
    EXPECT_EQ(outcome.err, a + ": WARNING:  saw Ann\nHINT:  look\n");
}

// A file long enough for ranges, as a role allowed one connection: the lanes' logins begin as
// soon as the run's own connection is open, and are refused; the file goes over that one, with
// every row and nothing said of the refused logins.
TEST_F(CommandLineTest, ARoleAllowedOneConnectionLoadsAFileMeantForRanges) {
    const QString role = QStringLiteral("one_") + m_db.name();
    m_db.execute(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD 'one-connection' "
                                "CONNECTION LIMIT 1; GRANT CREATE, USAGE ON SCHEMA public TO "
                                "\"%1\"")
                     .arg(role));
    QByteArray bytes = "n,text\n";
    for (int line = 1; line <= 300000; ++line) // 10 MiB: two ranges of the default 4 MiB
        bytes += QByteArray::number(line) + ",a line of thirty-odd bytes\n";
    const QString path = file("big.csv", bytes);
    const ConnectionSettings s = m_db.settings();
    const Outcome outcome =
        runCli({"--server", s.server, "--port", s.port, "--user", role, "--password",
                "one-connection", "--database", s.database, "--jobs", "4", "--create", "big", path},
               m_config.path());
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
    EXPECT_EQ(outcome.out, "Done.\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(m_db.column("SELECT count(*) FROM big"), QStringList{"300000"});
    m_db.execute(QStringLiteral("DROP OWNED BY \"%1\"; DROP ROLE \"%1\"").arg(role));
}
