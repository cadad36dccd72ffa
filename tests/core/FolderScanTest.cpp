#include "shell/AddFolder.h"
#include "shell/ApplicationError.h"
#include "shell/FileEntries.h"
#include "shell/FileSystemError.h"
#include "shell/Platform.h"
#include "shell/StepRunner.h"
#include "support/RecordingUserInterface.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using platform::simulation::Operation;

// Readable failure output for lists of paths.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString ScanContext = QString::fromLatin1(FolderScanContext);
const QString CommandContext = QStringLiteral("in Quenmarl2021/08/31.Form2.PushButton4_Click ");

// A temporary folder in which each test builds a tree; paths in and out are relative to it.
class FolderTree : public ::testing::Test {
protected:
    void TearDown() override { platform::simulation::clear(); }

    QString at(const QString& relative) const { return m_dir.path() + u'/' + relative; }
    QByteArray nativeAt(const char* relative) const { return QFile::encodeName(at({})) + relative; }

    void make(const QStringList& paths) const { makeTree(m_dir, paths); }

    QStringList relative(QStringList paths) const {
        for (QString& path : paths)
            path = path.mid(at({}).size());
        return paths;
    }

    QStringList scan(const QStringList& start, bool deep = true) {
        QStringList folders;
        for (const QString& folder : start)
            folders << at(folder);
        GetSubDirectories2016(folders, deep, ui);
        return relative(folders);
    }

    QStringList files(const QString& folder, const QString& pattern) {
        StepRunner run(ui, CommandContext);
        return relative(filesInFolderTree(at(folder), pattern, run));
    }

    QTemporaryDir m_dir;
    RecordingUserInterface ui;
};

// A call that must come back; a blocking open of a named pipe would not.
template <class Work> bool returnsSoon(Work work) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::thread([done, work] {
        work();
        done->set_value();
    }).detach();
    return finished.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

} // namespace

TEST(FolderListing, SortsByNameIgnoringCaseWithCapitalsFirstOnTies) {
    const QStringList expected{"A", "a", "a10", "A2", "b", "Z", "_x", "\u00e4.txt", "\u00c4b"};
    QTemporaryDir dir;
    for (qsizetype i = expected.size() - 1; i >= 0; --i)
        QFile(dir.path() + u'/' + expected[i]).open(QIODevice::WriteOnly);
    QStringList listed;
    for (const platform::FolderEntry& entry : platform::listFolder(dir.path()))
        listed << entry.name;
    EXPECT_EQ(listed, expected);
}

TEST(FolderListing, WildcardsIgnoreCaseAndStarDotStarTakesEveryName) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"report.txt", "*.txt", true},
        {"REPORT.TXT", "*.txt", true},
        {"report.txt.bak", "*.txt", false},
        {"report", "*.txt", false},
        {"report", "*.*", true},
        {".profile", "*.*", true},
        {"a.csv", "?.csv", true},
        {"ab.csv", "?.csv", false},
        {".csv", "?.csv", false},
        {"x.txt", "*..txt", false},
        {"data.tsv", "*.t*", true},
        {"aXbXc", "*x*x*", true},
        {"abcabd", "*abd", true},
        {"abc", "a*b*c*d", false},
        {"\u00e4.TXT", "\u00c4.txt", true},
        {"report", "*", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::nameMatches(QString::fromUtf8(c.name), QString::fromUtf8(c.pattern)),
                  c.matches)
            << c.name << " against " << c.pattern;
}

TEST(FolderListing, UnusualCharacters) {
    const std::pair<QString, bool> cases[] = {
        {"report", false},     {"tab\there", true},  {"del\x7f", true}, {QChar(0x80), true},
        {QChar(0x9f), true},   {QChar(0xa0), false}, {"why?", true},    {"caf\u00e9", false},
        {QChar(0xfffd), true}, {QString(), false},
    };
    for (const auto& [name, unusual] : cases)
        EXPECT_EQ(HasUnusualCharacters(name), unusual) << name.toStdString();
}

TEST_F(FolderTree, FileExistsOnlyForRegularFilesAndNeverOpens) {
    make({"file.txt", "folder/"});
    ASSERT_EQ(::mkfifo(nativeAt("pipe.txt").constData(), 0666), 0);
    QFile::link(at("file.txt"), at("link.txt"));
    QFile::link(at("gone.txt"), at("dangling.txt"));
    QFile::link(at("folder"), at("folderlink"));
    const std::pair<const char*, bool> cases[] = {
        {"file.txt", true},  {"link.txt", true},      {"folder", false},
        {"folder/", false},  {"file.txt/", false},    {"missing.txt", false},
        {"pipe.txt", false}, {"dangling.txt", false}, {"folderlink", false},
    };
    for (const auto& [path, exists] : cases) {
        bool answer = !exists;
        ASSERT_TRUE(returnsSoon([&answer, full = at(path)] { answer = FileExists(full); }))
            << path << " blocked";
        EXPECT_EQ(answer, exists) << path;
    }
    EXPECT_FALSE(FileExists(QString()));
    QStringList listed;
    ASSERT_TRUE(returnsSoon([&] { listed = ListFolderFiles(at({}), QStringLiteral("*.*")); }));
    EXPECT_EQ(listed, (QStringList{"file.txt", "link.txt"}));
}

TEST_F(FolderTree, ScansBreadthFirstGroupedByParent) {
    make({"A/A1/A11/", "A/A2/Z/", "A/B1/C/", "A/.hidden/in/", "A/file.txt"});
    EXPECT_EQ(scan({"A/"}), (QStringList{"A/", "A/.hidden/", "A/A1/", "A/A2/", "A/B1/",
                                         "A/.hidden/in/", "A/A1/A11/", "A/A2/Z/", "A/B1/C/"}));
    EXPECT_EQ(scan({"A/A1/A11/"}), QStringList{"A/A1/A11/"}) << "no subfolders";
    EXPECT_EQ(scan({"A/", "A/B1/"}, false),
              (QStringList{"A/", "A/B1/", "A/.hidden/", "A/A1/", "A/A2/", "A/B1/", "A/B1/C/"}))
        << "one level only, duplicates kept";
    EXPECT_EQ(scan({"A/file.txt", "missing/"}), (QStringList{"A/file.txt", "missing/"}))
        << "entries that are not folders stay unscanned";
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(FolderTree, LeavesOutOddNamesAndLinksWithEverythingBelowThem) {
    make({"A/ok/in/", "A/ctl\x01name/in/", "A/q?mark/in/", "A/del\x7fname/in/", "A/B/real.txt"});
    ASSERT_EQ(::mkdir(nativeAt("A/bad\xff\xfe").constData(), 0755), 0);
    ASSERT_EQ(::mkdir(nativeAt("A/bad\xff\xfe/in").constData(), 0755), 0);
    QFile::link(at("A"), at("A/loop"));
    QFile::link(QStringLiteral(".."), at("A/B/up"));
    QFile::link(at("A/B/real.txt"), at("A/B/linked.txt"));
    EXPECT_EQ(scan({"A/"}), (QStringList{"A/", "A/B/", "A/ok/", "A/ok/in/"}));
    EXPECT_EQ(files("A", QStringLiteral("*.txt")), (QStringList{"A/B/linked.txt", "A/B/real.txt"}))
        << "files behind links are still listed, once";
    // QTemporaryDir can't remove names it can't decode.
    ::rmdir(nativeAt("A/bad\xff\xfe/in").constData());
    ::rmdir(nativeAt("A/bad\xff\xfe").constData());
}

TEST_F(FolderTree, SkipsFoldersFromTheLengthLimitOn) {
    const QString parent = QStringLiteral("P/");
    const qsizetype base = at(parent).size();
    const QString fits(FolderPathLimit - 2 - base, u'f');  // entry of 259 characters
    const QString limit(FolderPathLimit - 1 - base, u'g'); // entry of 260 characters
    make({parent + fits + "/deeper/", parent + limit + "/deeper/"});
    EXPECT_EQ(scan({parent}), (QStringList{parent, parent + fits + u'/', parent + limit + u'/',
                                           parent + fits + "/deeper/"}));
}

TEST_F(FolderTree, RefusedListingsLeaveTheFolderOutAndTheScanGoesOn) {
    make({"R/S1/in/", "R/S2/in/", "R/S3/in/", "R/S4/in/", "R/S5/in/"});
    struct Case {
        const char* name;
        QList<std::pair<const char*, int>> refused;
        QStringList expected;
    };
    const Case cases[] = {
        {"two denied at one level",
         {{"R/S2", FileSystemError::PermissionDenied},
          {"R/S4/", FileSystemError::PermissionDenied}},
         {"R/", "R/S1/", "R/S3/", "R/S5/", "R/S1/in/", "R/S3/in/", "R/S5/in/"}},
        {"not found, one level down",
         {{"R/S1/in", FileSystemError::PathNotFound}},
         {"R/", "R/S1/", "R/S2/", "R/S3/", "R/S4/", "R/S5/", "R/S2/in/", "R/S3/in/", "R/S4/in/",
          "R/S5/in/"}},
        {"another code keeps the folder, without what is under it",
         {{"R/S3", FileSystemError::PathFileAccessError}},
         {"R/", "R/S1/", "R/S2/", "R/S3/", "R/S4/", "R/S5/", "R/S1/in/", "R/S2/in/", "R/S4/in/",
          "R/S5/in/"}},
        {"the chosen folder itself", {{"R", FileSystemError::PermissionDenied}}, {}},
    };
    for (const Case& c : cases) {
        platform::simulation::clear();
        for (const auto& [path, code] : c.refused)
            platform::simulation::refuse(at(path), Operation::Listing, code);
        EXPECT_EQ(scan({"R/"}), c.expected) << c.name;
    }
    EXPECT_TRUE(ui.errors.isEmpty()) << "listing failures show no message";
}

TEST_F(FolderTree, ExaminingFailsLoudlyBeforeTheFirstListingAndQuietlyAfter) {
    make({"X/in/", "Y/"});
    platform::simulation::refuse(at("X"), Operation::Examining, FileSystemError::PathNotFound);
    EXPECT_EQ(scan({"X/"}), (QStringList{"X/", "X/in/"}))
        << "a failed attribute test lets the listing run";
    const QString description = QStringLiteral("Path not found");
    EXPECT_EQ(ui.errors, (QStringList{applicationErrorText(ScanContext, 112, description),
                                      applicationErrorText(ScanContext, 116, description)}));

    ui.errors.clear();
    EXPECT_EQ(scan({"Y/", "X/", "Y/"}), (QStringList{"Y/", "Y/"}));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(FolderTree, FolderFilesSkipTildeHiddenArchiveAndNonFiles) {
    make({"A/report.txt", "A/~lock.txt", "A/.hidden.txt", "A/.readonly.txt", "A/data.csv",
          "A/folder.txt/", "A/sub/inner.TXT", "A/sub/~inner.txt"});
    ASSERT_EQ(::mkfifo(nativeAt("A/pipe.txt").constData(), 0666), 0);
    platform::simulation::markReadOnly(at("A/.readonly.txt"));
    ASSERT_EQ(platform::fileAttributes(at("A/.hidden.txt")), 34);
    ASSERT_EQ(platform::fileAttributes(at("A/.readonly.txt")), 35);

    EXPECT_EQ(files("A", QStringLiteral("*.txt")),
              (QStringList{"A/.readonly.txt", "A/report.txt", "A/sub/inner.TXT"}));
    EXPECT_EQ(files("A", QStringLiteral("*.*")),
              (QStringList{"A/.readonly.txt", "A/data.csv", "A/report.txt", "A/sub/inner.TXT"}));
    EXPECT_EQ(files("A/", QStringLiteral("*.csv")), QStringList{"A/data.csv"})
        << "a folder given with its separator (a root) gives no doubled one";
    EXPECT_TRUE(files("A", QStringLiteral("*.doc")).isEmpty());
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(FolderTree, AFolderThatCannotBeListedForFilesIsReportedByTheCommand) {
    make({"A/a.txt", "A/B/b.txt", "A/C/c.txt"});
    platform::simulation::refuse(at("A/B"), Operation::Listing,
                                 FileSystemError::PathFileAccessError);
    EXPECT_EQ(files("A", QStringLiteral("*.txt")), (QStringList{"A/a.txt", "A/C/c.txt"}));
    EXPECT_EQ(ui.errors, QStringList{applicationErrorText(
                             CommandContext, 124, QStringLiteral("Path/File access error"))});
}

TEST(FileDialogChoice, TooManyFilesAtTheBufferBoundary) {
    // Folder "/d" (2 + NUL), names, one NUL each, final NUL.
    const QString folder = QStringLiteral("/d/");
    auto chosen = [&](qsizetype lastNameLength) {
        QStringList paths(2, folder + QString(9996, u'a'));
        paths << folder + QString(lastNameLength, u'b');
        return paths;
    };
    EXPECT_EQ(fileDialogBufferLength(chosen(9996)), 3 + 3 * 9997 + 1);
    EXPECT_TRUE(fitsFileDialogBuffer(chosen(30000 - 3 - 2 * 9997 - 1 - 1)));
    EXPECT_FALSE(fitsFileDialogBuffer(chosen(30000 - 3 - 2 * 9997 - 1)));
    EXPECT_EQ(fileDialogBufferLength({QStringLiteral("/d/a.txt")}), 9);
    EXPECT_EQ(fileDialogEntries({QStringLiteral("/a.txt"), QStringLiteral("/b.txt")}),
              (QStringList{"/a.txt", "/b.txt"}));
}

// The same refusals and read-only files for real, as an ordinary user: in this process when
// it is one, otherwise through a helper run as "nobody".
TEST_F(FolderTree, AnOrdinaryUserIsRefusedForReal) {
    make({"R/open/a.txt", "R/closed/b.txt", "R/.mine.txt", "R/.theirs.txt"});
    QStringList folders;
    QStringList found;
    if (::geteuid() != 0) {
        QFile::setPermissions(at("R/.theirs.txt"), QFile::ReadOwner);
        QFile::setPermissions(at("R/closed"), {});
        folders = scan({"R/"});
        found = files("R", QStringLiteral("*.*"));
        QFile::setPermissions(at("R/closed"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else {
        const passwd* nobody = ::getpwnam("nobody");
        const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
        if (!nobody || runuser.isEmpty())
            GTEST_SKIP() << "running as root without runuser or the user nobody; the simulated "
                            "refusals above cover the rule";
        ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        for (QDir above(m_dir.path()); above.cdUp();) {
            struct stat folder {};
            ASSERT_EQ(::stat(QFile::encodeName(above.path()).constData(), &folder), 0);
            ASSERT_TRUE(folder.st_mode & S_IXOTH)
                << above.path().toStdString() << " cannot be passed by other users; set TMPDIR";
        }
        ASSERT_EQ(::chmod(nativeAt("R/closed").constData(), 0700), 0);
        ASSERT_EQ(::chown(nativeAt("R/.mine.txt").constData(), nobody->pw_uid, nobody->pw_gid), 0);
        // The build folder may lie where that user cannot reach (a clone in a private
        // folder), so the probe runs from a copy beside the tree, which the user can reach.
        const QString probeCopy = at("quenmarl_folder_probe");
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/quenmarl_folder_probe",
                                probeCopy));
        ASSERT_EQ(::chmod(QFile::encodeName(probeCopy).constData(), 0755), 0);
        QProcess probe;
        probe.start(runuser, {"-u", "nobody", "--", probeCopy, at("R"), "*.*"});
        ASSERT_TRUE(probe.waitForFinished(60000));
        ASSERT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n')) {
            if (line.startsWith(QLatin1String("folder ")))
                folders << line.mid(7);
            else if (line.startsWith(QLatin1String("file ")))
                found << line.mid(5);
            else if (!line.isEmpty())
                ADD_FAILURE() << line.toStdString();
        }
        folders = relative(folders);
        found = relative(found);
    }
    EXPECT_EQ(folders, (QStringList{"R/", "R/open/"}));
    EXPECT_EQ(found, (QStringList{"R/.theirs.txt", "R/open/a.txt"}));
    EXPECT_TRUE(ui.errors.isEmpty());
}
