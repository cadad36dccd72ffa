#include "ClickKit.h"
#include "WindowTestKit.h"

#include "windows/Form2.h"
#include "windows/PreviewModel.h"
#include "windows/PreviewWindow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The main window on its own (no database), its file list and separator as its start-up steps
// leave them, and a folder for the files to preview.
struct Preview : ::testing::Test {
    void SetUp() override {
        main.ListView1->setHeaderLabels({QStringLiteral("Text Files")});
        main.ListView1->setColumnWidth(0, 333);
        main.Text3->setText(QStringLiteral(","));
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    }

    QString add(const QString& name, const QByteArray& bytes) {
        const QString path = writeTestFile(dir, name, bytes);
        main.addFileEntry(path);
        return path;
    }

    QWidget* viewport() const { return main.ListView1->viewport(); }
    QPoint pointOf(int row) const {
        return main.ListView1->visualItemRect(main.ListView1->topLevelItem(row)).center();
    }

    QList<PreviewWindow*> previews() const {
        return main.findChildren<PreviewWindow*>(QString(), Qt::FindDirectChildrenOnly);
    }
    PreviewWindow* windowFor(const QString& path) const {
        for (PreviewWindow* window : previews())
            if (window->path() == path)
                return window;
        return nullptr;
    }

    // Clicks the entry and presses Space, as a person does; returns the entry's preview.
    PreviewWindow* openBySpace(int row) {
        clickInWindow(viewport(), pointOf(row));
        QTest::keyClick(main.ListView1, Qt::Key_Space);
        return windowFor(main.fileEntries().value(row));
    }

    // Asks for the list's menu as `ask` does and, once a menu shows, chooses the entry with the
    // caption, or closes the menu by Escape when it has none. Returns what the menu offered;
    // nothing when no menu showed.
    QStringList chooseFromMenu(const std::function<void()>& ask, const QString& caption) {
        QStringList offered;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible())
                return;
            poll.stop();
            QAction* wanted = nullptr;
            for (QAction* action : menu->actions()) {
                offered << action->text();
                if (action->text() == caption)
                    wanted = action;
            }
            if (wanted)
                clickInWindow(menu, menu->actionGeometry(wanted).center());
            else
                QTest::keyClick(menu, Qt::Key_Escape);
        });
        poll.start();
        ask();
        poll.stop();
        return offered;
    }

    // The same for a right-click at a point of the list.
    QStringList chooseFromMenu(QPoint at, const QString& caption) {
        return chooseFromMenu(
            [&] {
                QTest::mouseClick(main.windowHandle(), Qt::RightButton, {},
                                  viewport()->mapTo(&main, at));
            },
            caption);
    }

    TestWindows windows;
    Form2 main{windows.context, windows.form1};
    QTemporaryDir dir;
};

// The grid as shown: the column names, and each row as "LINE: cell|cell|...".
QStringList headers(const PreviewWindow& window) {
    QStringList names;
    const QAbstractItemModel* model = window.grid()->model();
    for (int column = 0; column < model->columnCount(); ++column)
        names << model->headerData(column, Qt::Horizontal).toString();
    return names;
}

QStringList rows(const PreviewWindow& window) {
    QStringList shown;
    const QAbstractItemModel* model = window.grid()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        shown << model->headerData(row, Qt::Vertical).toString() + QStringLiteral(": ") +
                     cells.join(u'|');
    }
    return shown;
}

// The rows painted with the mark, by their line; a row is marked whole or not at all.
QStringList markedRows(const PreviewWindow& window) {
    QStringList marked;
    const QAbstractItemModel* model = window.grid()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QVariant background = model->index(row, 0).data(Qt::BackgroundRole);
        for (int column = 1; column < model->columnCount(); ++column)
            EXPECT_EQ(model->index(row, column).data(Qt::BackgroundRole), background);
        if (background.isValid() && background.value<QColor>() == markedRowColor())
            marked << model->headerData(row, Qt::Vertical).toString();
    }
    return marked;
}

} // namespace

TEST_F(Preview, OpensFromTheContextMenuAndBySpace) {
    const QString first = add(QStringLiteral("first.csv"), "a,b\n1,2\n");
    const QString second = add(QStringLiteral("second.csv"), "x,y\n3,4\n");

    EXPECT_EQ(chooseFromMenu(pointOf(1), QStringLiteral("Preview\u2026")),
              QStringList{QStringLiteral("Preview\u2026")});
    PreviewWindow* byMenu = windowFor(second);
    ASSERT_NE(byMenu, nullptr);
    EXPECT_EQ(byMenu->windowTitle(), QStringLiteral("Preview - second.csv"));
    EXPECT_TRUE(byMenu->isVisible());
    EXPECT_TRUE(byMenu->isWindow());
    EXPECT_EQ(byMenu->windowModality(), Qt::NonModal);
    EXPECT_EQ(main.fileEntries(), (QStringList{first, second})) << "the right-click moved nothing";
    EXPECT_EQ(main.ListView1->cursor().shape(), Qt::ArrowCursor) << "no drag after the menu";
    QTest::mouseMove(main.windowHandle(), viewport()->mapTo(&main, pointOf(0)));
    EXPECT_EQ(main.fileEntries(), (QStringList{first, second}));

    EXPECT_TRUE(chooseFromMenu(QPoint(10, viewport()->height() - 3), QString()).isEmpty())
        << "no menu beside the entries";
    EXPECT_EQ(chooseFromMenu(pointOf(0), QString()).size(), 1) << "the menu closed by Escape";
    EXPECT_EQ(previews().size(), 1) << "a menu closed opens nothing";

    // The Menu key: the window system asks the focused list for its menu, wherever the pointer
    // is; the menu is the current entry's.
    main.ListView1->setCurrentItem(main.ListView1->topLevelItem(0));
    const auto menuKey = [&] {
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos());
        QCoreApplication::sendEvent(main.ListView1, &key);
    };
    EXPECT_EQ(chooseFromMenu(menuKey, QStringLiteral("Preview\u2026")).size(), 1);
    PreviewWindow* byKey = windowFor(first);
    ASSERT_NE(byKey, nullptr);
    byKey->close();
    ASSERT_TRUE(waitUntil([&] { return previews().size() == 1; })) << "closing deletes it";

    PreviewWindow* bySpace = openBySpace(0);
    ASSERT_NE(bySpace, nullptr);
    EXPECT_EQ(bySpace->windowTitle(), QStringLiteral("Preview - first.csv"));
    EXPECT_TRUE(bySpace->isVisible());
    openBySpace(0);
    EXPECT_EQ(previews().size(), 2) << "a file's preview opens once";

    main.ListView1->clearSelection();
    QTest::keyClick(main.ListView1, Qt::Key_Space);
    EXPECT_EQ(previews().size(), 2) << "Space without a selected entry opens nothing";
}

// The grid under the first line's names, each record's field count beside it, the records
// the field-count check would report marked, and the findings above.
TEST_F(Preview, ShowsTheRecordsAsTheImportWouldCutThem) {
    const QByteArray quotedFile = "Name,Note\n\"Smith, J\",\"two\nlines\"\nBo,\"a \"\"b\"\"\"\n";
    const struct {
        const char* name;
        QByteArray bytes;
        bool quoted;
        QStringList headers;
        QStringList rows;
        QStringList marked;
        QString findings;
    } cases[] = {
        {"plain",
         "Name,City\nAnn,\"Oslo\"\n\nBo,Rome,x\nCy,\n",
         false,
         {"Fields", "Name", "City", "Field 3"},
         {"2: 2|Ann|Oslo|", "4: 3|Bo|Rome|x", "5: 2|Cy||"},
         {"4"},
         "1 record below has another number of fields than the first line and is marked. The "
         "field-count check would end the import at line 4."},
        {"quoted",
         quotedFile,
         true,
         {"Fields", "Name", "Note"},
         {"2: 2|Smith, J|two^Jlines", "4: 2|Bo|a \"b\""},
         {},
         "Every record below has the first line's 2 fields."},
        {"quoted file read without quotes",
         quotedFile,
         false,
         {"Fields", "Name", "Note", "Field 3"},
         {"2: 3|Smith| J|two", "3: 1|lines||", "4: 2|Bo|a b|"},
         {"2", "3"},
         "2 records below have another number of fields than the first line and are marked. "
         "The field-count check would end the import at line 2."},
        {"a quote never closed",
         "a,b\n1,2\n3,\"open\n4,5\n",
         true,
         {"Fields", "a", "b"},
         {"2: 2|1|2", "3: 2|3|open^J4,5^J"},
         {"3"},
         "The quote opened in line 3 is never closed. The field-count check would end the "
         "import at line 3."},
        {"no line holds the separator",
         "a;b\n1;2\n",
         false,
         {"Fields", "a;b"},
         {"2: 1|1;2"},
         {},
         "No line holds the separator \",\", so no row would be sent."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (main.Check3->isChecked() != c.quoted)
            clickMark(main.Check3);
        main.ListView1->clear();
        add(QStringLiteral("%1.csv").arg(&c - cases), c.bytes);
        PreviewWindow* window = openBySpace(0);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(headers(*window), c.headers);
        EXPECT_EQ(rows(*window), c.rows);
        EXPECT_EQ(markedRows(*window), c.marked);
        EXPECT_EQ(window->findingsLine()->text(), c.findings);
        EXPECT_EQ(window->encodingLine()->text(), QStringLiteral("Read as UTF-8"));
        EXPECT_TRUE(window->extentLine()->isHidden()) << "the whole file is shown";
        for (int row = 0; row < window->model()->rowCount(); ++row) {
            const QString tip = window->model()->index(row, 0).data(Qt::ToolTipRole).toString();
            EXPECT_EQ(tip.isEmpty(), !window->model()->isMarked(row)) << "a marked row says why";
        }
        window->close();
    }
}

TEST_F(Preview, FollowsTheSeparatorAndTheQuotesBoxes) {
    add(QStringLiteral("semi.csv"), "a;b\n\"1;2\";3\n");
    PreviewWindow* window = openBySpace(0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(rows(*window), QStringList{QStringLiteral("2: 1|1;2;3")});

    typeInto(main.Text3, QStringLiteral(";"));
    EXPECT_EQ(headers(*window), (QStringList{"Fields", "a", "b", "Field 3"}));
    EXPECT_EQ(rows(*window), QStringList{QStringLiteral("2: 3|1|2|3")});
    EXPECT_EQ(markedRows(*window), QStringList{QStringLiteral("2")});

    typeInto(main.Text3, QStringLiteral("\\t"));
    EXPECT_EQ(window->findingsLine()->text(),
              QStringLiteral("No line holds the separator \"^I\", so no row would be sent."))
        << "\\t in the box is a Tab";

    typeInto(main.Text3, QStringLiteral(";"));
    clickMark(main.Check3);
    EXPECT_EQ(headers(*window), (QStringList{"Fields", "a", "b"}));
    EXPECT_EQ(rows(*window), QStringList{QStringLiteral("2: 2|1;2|3")});
    EXPECT_TRUE(markedRows(*window).isEmpty());
    EXPECT_EQ(window->findingsLine()->text(),
              QStringLiteral("Every record below has the first line's 2 fields."));

    window->close();
    ASSERT_TRUE(waitUntil([&] { return previews().isEmpty(); }));
    typeInto(main.Text3, QStringLiteral("|"));
    clickMark(main.Check3);
    EXPECT_TRUE(previews().isEmpty()) << "a closed preview is told nothing";
}

// While "Detect column types" counts (ticked, with the create option), each column's name stands
// over the type the records shown give it.
TEST_F(Preview, ShowsTheColumnTypesWhileTheyCount) {
    add(QStringLiteral("typed.csv"), "id,day,note\n1,2024-01-02,x\n,2024-01-03,\n");
    PreviewWindow* window = openBySpace(0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(headers(*window), (QStringList{"Fields", "id", "day", "note"}));
    clickMark(main.Check5);
    const QStringList typed{"Fields", "id\nINTEGER", "day\nDATE", "note\nTEXT"};
    EXPECT_EQ(headers(*window), typed);
    clickMark(main.Option2, true);
    EXPECT_EQ(headers(*window), (QStringList{"Fields", "id", "day", "note"}));
    clickMark(main.Option1, true);
    EXPECT_EQ(headers(*window), typed);
    clickMark(main.Check5);
    EXPECT_EQ(headers(*window), (QStringList{"Fields", "id", "day", "note"}));
}

TEST_F(Preview, SaysHowTheTextIsRead) {
    QByteArray utf16("\xFF\xFE");
    for (const char c : QByteArray("a,b\r\n1,2\r\n"))
        utf16.append(c).append('\0');
    const struct {
        const char* name;
        QByteArray bytes;
        QString encoding;
        QString firstRow;
    } cases[] = {
        {"UTF-8", "a,b\n\xC3\xA9,1\n", "Read as UTF-8", QString::fromUtf8("2: 2|é|1")},
        {"Windows-1252", "a,b\n\xE9,\x80\n", "Read as Windows-1252", QString::fromUtf8("2: 2|é|€")},
        {"both", "a,b\n\xC3\xA9,1\n\xE9,2\n", "Read as UTF-8, with some lines as Windows-1252",
         QString::fromUtf8("2: 2|é|1")},
        {"UTF-16", utf16, "Read as UTF-16 (little endian), by its byte-order mark", "2: 2|1|2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        main.ListView1->clear();
        add(QStringLiteral("%1.csv").arg(&c - cases), c.bytes);
        PreviewWindow* window = openBySpace(0);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->encodingLine()->text(), c.encoding);
        EXPECT_TRUE(window->encodingLine()->isVisible());
        EXPECT_EQ(rows(*window).value(0), c.firstRow);
        window->close();
    }
}

// The preview reads the start of a file only: a 10 GiB file shows at once, with a word that
// it goes on; a long file shows its first records; a pipe is not read at all.
TEST_F(Preview, ReadsOnlyTheStartOfAFile) {
    const QString huge = add(QStringLiteral("huge.csv"), "id,name\n1,one\n2,two\n");
    {
        QFile file(huge);
        ASSERT_TRUE(file.resize(qint64(10) << 30));
    }
    QByteArray many = "n\n";
    for (int n = 1; n < 300; ++n)
        many += QByteArray::number(n) + '\n';
    add(QStringLiteral("many.csv"), many);
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    main.addFileEntry(fifo);

    QElapsedTimer clock;
    clock.start();
    PreviewWindow* window = openBySpace(0);
    const qint64 took = clock.elapsed();
    ASSERT_NE(window, nullptr);
    EXPECT_LT(took, 500) << "a preview reads a few MiB however large the file";
    EXPECT_EQ(rows(*window), (QStringList{"2: 2|1|one", "3: 2|2|two"}));
    EXPECT_EQ(window->extentLine()->text(), QStringLiteral("The first 4 MiB are shown."));
    EXPECT_TRUE(window->extentLine()->isVisible());

    window = openBySpace(1);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->model()->rowCount(), 199) << "200 records, the first line's included";
    EXPECT_EQ(rows(*window).last(), QStringLiteral("200: 1|199"));
    EXPECT_EQ(window->extentLine()->text(), QStringLiteral("The first 200 records are shown."));

    clock.restart();
    window = openBySpace(2);
    EXPECT_LT(clock.elapsed(), 500) << "a pipe without a writer is not waited for";
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->findingsLine()->text(),
              QStringLiteral("Only regular files are previewed. This is a named pipe or a device, "
                             "which can be read only once: when it is imported."));
    EXPECT_FALSE(window->grid()->isVisible());
    EXPECT_FALSE(window->encodingLine()->isVisible());
}
