#include "MainWindowFixture.h"

#include "import/ImportFrontEnd.h"
#include "widgets/WindowHelpers.h"
#include "windows/Form2.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct QuotedFieldsBox : MainWindowFixture {
    // One column of the created table, in the order of the first column.
    QStringList column(const char* name) const {
        return database.column(QStringLiteral("SELECT \"%1\" FROM \"NewTable1\" ORDER BY \"Name\"")
                                   .arg(QLatin1String(name)));
    }
};

} // namespace

// The box sits in the first frame's free space right of "?", in the window's own font, with
// its caption shown whole; nothing designed is covered.
TEST_F(QuotedFieldsBox, FitsBesideTheHelpButtonWithItsCaptionWhole) {
    start();
    QCheckBox* box = main->Check3;
    EXPECT_EQ(box->parentWidget(), main->Frame1);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->font(), designFont(9));
    EXPECT_GE(box->x(), main->PushButton6->geometry().right());
    EXPECT_TRUE(main->Frame1->rect().contains(box->geometry()));
    EXPECT_LE(box->sizeHint().width(), box->width()) << "caption cut off";
    EXPECT_LE(box->sizeHint().height(), box->height());
    for (QWidget* other : main->Frame1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != box) {
            EXPECT_FALSE(other->geometry().intersects(box->geometry()))
                << other->objectName().toStdString();
        }
    }
    EXPECT_EQ(main->size(), QSize(424, 547)) << "the window keeps its designed size";
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("\"Smith, John\"")));
}

// Read from the store when the window starts, written at each click; a click while a run
// has the window locked changes nothing, and the run gets the state the box had at its start.
TEST_F(QuotedFieldsBox, KeepsItsStateInTheStoreAndIsLockedDuringARun) {
    WriteSetting(SettingKeys::QuotedFields, QStringLiteral("1"));
    start();
    EXPECT_TRUE(main->Check3->isChecked());
    clickMark(main->Check3);
    EXPECT_FALSE(main->Check3->isChecked());
    EXPECT_EQ(ReadSetting(SettingKeys::QuotedFields), QStringLiteral("0"));
    clickMark(main->Check3, true);
    EXPECT_TRUE(main->Check3->isChecked()) << "the caption takes the click too";
    EXPECT_EQ(ReadSetting(SettingKeys::QuotedFields), QStringLiteral("1"));

    main->addFileEntry(QStringLiteral("/data/a.csv"));
    QSemaphore goOn;
    std::atomic<bool> started{false};
    bool quoted = false;
    main->setImportEngine([&](const ImportChoices& choices, ImportFrontEnd&) {
        quoted = choices.quotedFields;
        started = true;
        goOn.acquire();
        return ImportResult{ImportOutcome::Done, 1, 1, 0};
    });
    clickImport();
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    EXPECT_FALSE(main->Check3->isEnabled());
    clickMark(main->Check3);
    EXPECT_TRUE(main->Check3->isChecked());
    goOn.release();
    ASSERT_TRUE(waitUntil([&] { return !main->importRunning(); }));
    EXPECT_TRUE(quoted);
    EXPECT_TRUE(main->Check3->isEnabled());
    EXPECT_EQ(ReadSetting(SettingKeys::QuotedFields), QStringLiteral("1"));
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

// A file as a spreadsheet writes it: CR LF line ends, a quoted separator, doubled quotes, a
// value over two lines, a quoted empty field. Off, the plain rule stops at the second line of
// the address; on, every value arrives byte for byte.
TEST_F(QuotedFieldsBox, ImportsASpreadsheetFileByteExactWhenTicked) {
    const QByteArray contacts =
        "Name,Address,Note\r\n"
        "\"Smith, John\",\"12 Main St\r\nSpringfield\",\"Bolt \"\"M8\"\"\"\r\n"
        "Zo\xc3\xab,\"\",say \"hi\"\r\n";
    start();
    addFile(QStringLiteral("contacts.csv"), contacts);
    import();
    ASSERT_EQ(windows.reports.size(), 1) << "the plain rule is the default";
    EXPECT_TRUE(windows.reports.first().startsWith(QStringLiteral("Line no 2: Springfield")))
        << windows.reports.first().toStdString();

    clickMark(main->Check3);
    windows.ui.messages.clear();
    import();
    EXPECT_EQ(windows.ui.messages, QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join("\n").toStdString();
    EXPECT_EQ(windows.reports.size(), 1);
    EXPECT_EQ(column("Name"), (QStringList{"Smith, John", QStringLiteral("Zo\u00eb")}));
    EXPECT_EQ(column("Address"), (QStringList{"12 Main St\r\nSpringfield", ""}));
    EXPECT_EQ(column("Note"), (QStringList{"Bolt \"M8\"", "say \"hi\""}));
    EXPECT_EQ(database.column(QStringLiteral(
                  "SELECT count(*) FROM \"NewTable1\" WHERE \"Address\" = '' AND \"Name\" <> ''")),
              QStringList{"1"})
        << "a quoted empty field is the empty text, not NULL";
}
