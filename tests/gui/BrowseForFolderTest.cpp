#include "widgets/BrowseForFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct Seen {
    QString title;
    QString directory;
};

// Opens the folder picker and, once it shows, notes what it shows and lets `answer` close it.
QString browse(const QString& start, Seen& seen, const std::function<void(QFileDialog*)>& answer) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        seen = {dialog->windowTitle(), dialog->directory().absolutePath()};
        answer(dialog);
    });
    poll.start(10);
    return BrowseForFolder(nullptr, QStringLiteral("Please select folder:"), start);
}

} // namespace

TEST(BrowseForFolder, StartsAtTheGivenFolderAndCancelGivesNothing) {
    QTemporaryDir dir;
    const QString chosen = dir.path() + QStringLiteral("/chosen");
    ASSERT_TRUE(QDir().mkpath(chosen));
    Seen seen;

    EXPECT_EQ(browse(dir.path(), seen,
                     [&](QFileDialog* dialog) {
                         dialog->selectFile(chosen);
                         QMetaObject::invokeMethod(dialog, "accept");
                     }),
              chosen);
    EXPECT_EQ(seen.title, QStringLiteral("Please select folder:"));
    EXPECT_EQ(seen.directory, dir.path());

    EXPECT_EQ(browse(dir.path() + QStringLiteral("/gone"), seen,
                     [](QFileDialog* dialog) { dialog->reject(); }),
              QString());
}
