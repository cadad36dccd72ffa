#include "shell/Platform.h"

#include "support/TestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// A program in <root>/usr/bin finds a shipped file beside itself first, then in
// <root>/usr/share/quenmarl, as the install rules lay it out; with neither, the path beside it.
TEST(ShippedFile, BesideTheProgramThenInTheInstalledDataFolder) {
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
