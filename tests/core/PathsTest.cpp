#include "shell/Paths.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Paths, NormalizeCollapsesPairsAndKeepsTheLeadingForm) {
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

TEST(Paths, ExistsAndIsFolderAnswerNoInsteadOfFailing) {
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
