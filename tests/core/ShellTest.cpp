#include "shell/AppTitle.h"
#include "shell/Paths.h"
#include "shell/Platform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(NormalizePath, CollapsesPairsAndKeepsTheLeadingForm) {
    struct Case {
        const char* in;
        const char* windows;
        const char* linux;
    };
    const Case cases[] = {
        {"", "", ""},
        {"C:\\\\a.txt", "C:\\a.txt", nullptr},
        {"C:\\data\\\\\\x", "C:\\data\\\\x", nullptr},   // three become two
        {"C:\\data\\\\\\\\x", "C:\\data\\\\x", nullptr}, // four become two
        {"\\server\\share", "\\\\server\\share", nullptr},
        {"\\\\\\\\server\\\\share\\\\a.csv", "\\\\server\\share\\a.csv", nullptr},
        {"/home/ann/a.csv", nullptr, "/home/ann/a.csv"},
        {"//home//ann///a.csv", nullptr, "/home/ann//a.csv"},
        {"data//a.csv", nullptr, "data/a.csv"},
    };
    for (const Case& c : cases) {
        const QString in = QString::fromLatin1(c.in);
        if (c.windows) {
            EXPECT_EQ(normalizePathWith(in, QLatin1Char('\\'), true),
                      QString::fromLatin1(c.windows))
                << c.in;
        }
        if (c.linux) {
            EXPECT_EQ(normalizePathWith(in, QLatin1Char('/'), false), QString::fromLatin1(c.linux))
                << c.in;
            EXPECT_EQ(NormalizePath(in), QString::fromLatin1(c.linux)) << c.in;
        }
    }
}

TEST(PathTests, AnswerNoInsteadOfFailing) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString file = folder + QStringLiteral("/a.csv");
    QFile(file).open(QIODevice::WriteOnly);

    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(IsFolder(folder + QStringLiteral("/"))) << "a trailing separator still names it";
    EXPECT_FALSE(IsFolder(file));
    EXPECT_FALSE(IsFolder(folder + QStringLiteral("/missing")));
    EXPECT_FALSE(IsFolder(QString()));
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_FALSE(PathExists(folder + QStringLiteral("/missing")));
    EXPECT_FALSE(PathExists(QString()));
}

TEST(FileAttributes, DescribeFilesFoldersHiddenNamesAndLinks) {
    using namespace platform;
    QTemporaryDir dir;
    const QString folder = dir.path();
    QFile(folder + QStringLiteral("/plain.txt")).open(QIODevice::WriteOnly);
    QFile(folder + QStringLiteral("/.hidden.txt")).open(QIODevice::WriteOnly);
    QDir(folder).mkdir(QStringLiteral(".cache"));
    QFile::link(folder + QStringLiteral("/.cache"), folder + QStringLiteral("/linked"));
    QFile::link(folder + QStringLiteral("/gone"), folder + QStringLiteral("/dangling"));

    EXPECT_EQ(fileAttributes(folder + QStringLiteral("/plain.txt")), AttributeArchive);
    EXPECT_EQ(fileAttributes(folder + QStringLiteral("/.hidden.txt")),
              AttributeHidden | AttributeArchive);
    EXPECT_EQ(fileAttributes(folder + QStringLiteral("/.cache")),
              AttributeHidden | AttributeDirectory);
    EXPECT_EQ(fileAttributes(folder + QStringLiteral("/linked")),
              AttributeAlias | AttributeDirectory);
    EXPECT_EQ(fileAttributes(folder + QStringLiteral("/missing")), std::nullopt);
    const auto dangling = fileAttributes(folder + QStringLiteral("/dangling"));
    ASSERT_TRUE(dangling.has_value()) << "a dangling link can still be examined";
    EXPECT_TRUE(*dangling & AttributeAlias);
}

TEST(ApplicationTitle, CutsWordsFromTheEnd) {
    // More than 40 characters: words go from the end until at most 40 remain.
    EXPECT_EQ(
        shortenedTitle(QStringLiteral("Delimited Text Files To PostgreSQL Database Loader Pro")),
        QStringLiteral("Delimited Text Files To PostgreSQL"));
    // 40 characters or fewer: one word still goes.
    EXPECT_EQ(shortenedTitle(QStringLiteral("Quick Loader Utility For Files")),
              QStringLiteral("Quick Loader Utility For"));
    // No space to cut at: the name stays whole.
    EXPECT_EQ(shortenedTitle(QStringLiteral("Quenmarl")), QStringLiteral("Quenmarl"));
    SetApplicationTitle();
    EXPECT_EQ(applicationTitle(), QStringLiteral("Quenmarl"));
}
