#include "shell/Platform.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Platform, FileAttributesDescribeFilesFoldersHiddenNamesAndLinks) {
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

// A program in <root>/usr/bin finds a shipped file beside itself first, then in
// <root>/usr/share/quenmarl, as the install rules lay it out; with neither, the path beside it.
TEST(Platform, ShippedFileBesideTheProgramThenInTheInstalledDataFolder) {
    struct Case {
        const char* name;
        QStringList tree;     // under the temporary root
        const char* expected; // relative to the root
    };
    const Case cases[] = {
        {"HAND-M.CUR", {"usr/bin/HAND-M.CUR"}, "usr/bin/HAND-M.CUR"},
        {"HAND-M.CUR", {"usr/share/quenmarl/HAND-M.CUR"}, "usr/share/quenmarl/HAND-M.CUR"},
        {"HAND-M.CUR",
         {"usr/bin/HAND-M.CUR", "usr/share/quenmarl/HAND-M.CUR"},
         "usr/bin/HAND-M.CUR"},
        {"drag.ico", {"usr/share/quenmarl/HAND-M.CUR"}, "usr/bin/drag.ico"},
        {"drag.ico", {"usr/share/drag.ico", "usr/quenmarl/drag.ico"}, "usr/bin/drag.ico"},
        {"Splash", {"usr/share/quenmarl/Splash/"}, "usr/share/quenmarl/Splash"},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        makeTree(root, QStringList(c.tree) << QStringLiteral("usr/bin/quenmarl"));
        const QString program = root.path() + QStringLiteral("/usr/bin");
        EXPECT_EQ(platform::shippedFileIn(program, QString::fromLatin1(c.name)),
                  root.path() + QLatin1Char('/') + QString::fromLatin1(c.expected))
            << c.name << " with " << c.tree.join(QLatin1Char(' ')).toStdString();
    }
}
