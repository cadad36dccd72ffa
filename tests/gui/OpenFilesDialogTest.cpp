#include "widgets/OpenFilesDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QStringList Filters = {QStringLiteral("Text Files (*.txt)"),
                             QStringLiteral("CSV Files (*.csv)"),
                             QStringLiteral("All Files (*.*)")};

// What the file view lists under each choice, in a folder holding a subfolder and four files,
// the names sorted.
const QStringList ListedByChoice = {QStringLiteral("a.txt folder"), QStringLiteral("b.csv folder"),
                                    QStringLiteral("a.txt b.csv c.dat folder notes")};

// Runs the real dialog and, once it shows, lets `use` work it as a person does.
QStringList openFiles(const std::function<void(QFileDialog*)>& use,
                      const QString& start = QString()) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        use(dialog);
    });
    poll.start(10);
    return OpenFilesDialog(nullptr, QStringLiteral("Add File(s)"), Filters, start);
}

// The names the dialog's file view lists, sorted, once it has caught up with `expected` (or
// has given up waiting for it).
QString listedOnceSettled(QFileDialog* dialog, const QString& expected) {
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (!view)
        return {};
    const auto listed = [&] {
        QStringList names;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names.append(view->model()->index(row, 0, root).data().toString());
        names.sort();
        return names.join(QLatin1Char(' '));
    };
    // Either way the caller compares what is listed.
    (void)QTest::qWaitFor([&] { return listed() == expected; }, 5000);
    return listed();
}

} // namespace

// Each choice of the file-type box reads as written and lists what it names; "*.*" lists
// names without a dot too, and such a file can be chosen.
TEST(OpenFilesDialog, EachFilterListsWhatItNamesAndAllFilesListsNamesWithoutADot) {
    QTemporaryDir dir;
    for (const char* name : {"notes", "a.txt", "b.csv", "c.dat"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));

    QStringList shownChoices;
    QStringList listed;
    const QStringList chosen = openFiles([&](QFileDialog* dialog) {
        dialog->setDirectory(dir.path());
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!types || !name) {
            ADD_FAILURE() << "the dialog is not the toolkit's own";
            dialog->reject();
            return;
        }
        for (int i = 0; i < types->count(); ++i)
            shownChoices.append(types->itemText(i));
        for (int choice = 0; choice < types->count(); ++choice) {
            if (choice > 0)
                QTest::keyClick(types, Qt::Key_Down);
            listed.append(listedOnceSettled(dialog, ListedByChoice.value(choice)));
        }
        QTest::keyClicks(name, QStringLiteral("notes"));
        QTest::keyClick(name, Qt::Key_Return);
    });

    EXPECT_EQ(shownChoices, Filters);
    EXPECT_EQ(listed, ListedByChoice);
    EXPECT_EQ(chosen, QStringList{dir.filePath(QStringLiteral("notes"))});
}

TEST(OpenFilesDialog, CancelChoosesNothing) {
    EXPECT_EQ(openFiles([](QFileDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }),
              QStringList());
}

TEST(OpenFilesDialog, OpensInTheGivenFolderOrAtHome) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QString start;
        QString opened;
    } cases[] = {
        {"an existing folder", dir.path(), dir.path()},
        {"none given", QString(), QDir::homePath()},
        {"a folder that is gone", dir.filePath(QStringLiteral("gone")), QDir::homePath()},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        QString opened;
        openFiles(
            [&](QFileDialog* dialog) {
                opened = dialog->directory().absolutePath();
                dialog->reject();
            },
            row.start);
        EXPECT_EQ(opened, row.opened);
    }
}
