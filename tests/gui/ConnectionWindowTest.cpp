#include "WindowTestKit.h"

#include "widgets/WindowPointer.h"
#include "windows/Form1.h"
#include "windows/Form2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString WrongPassword = QStringLiteral("not-the-password");

} // namespace

TEST(ConnectionWindow, StartUpHandsOverOnlyWhenTheStoredConnectionWorks) {
    TestDatabase database;
    database.execute(QStringLiteral("CREATE TABLE \"Existing\"(a TEXT)"));
    const TestServer& server = TestServer::get();
    struct Case {
        const char* name;
        ConnectionSettings stored;
        bool handsOver;
    };
    ConnectionSettings wrongPassword = database.settings();
    wrongPassword.user = server.role;
    wrongPassword.password = WrongPassword;
    ConnectionSettings noServer = database.settings();
    noServer.port = QStringLiteral("1");
    const Case cases[] = {
        {"working", database.settings(), true},
        {"wrong password", wrongPassword, false},
        {"no server on the port", noServer, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestWindows windows;
        windows.startWith(c.stored);

        EXPECT_EQ(windows.form1.connectionSettings(), c.stored) << "fields filled from the store";
        EXPECT_EQ(windows.form1.isVisible(), !c.handsOver);
        EXPECT_EQ(windows.form1.mainWindowLoaded(), c.handsOver);
        EXPECT_EQ(windows.form1.windowTitle(), QStringLiteral("Quenmarl"));
        EXPECT_TRUE(windows.ui.messages.isEmpty());
        EXPECT_TRUE(windows.ui.errors.isEmpty()) << windows.ui.errors.join("\n").toStdString();
        if (c.handsOver) {
            Form2& main = windows.form1.mainWindow();
            EXPECT_TRUE(main.isVisible());
            EXPECT_EQ(main.List1->findItems(QStringLiteral("Existing"), Qt::MatchExactly).size(),
                      1);
        }
        EXPECT_EQ(ConnectionSettings::fromStore(), c.stored) << "start-up keeps the store";
    }
}

TEST(ConnectionWindow, EmptyStoreShowsTheDefaultsAndStoresThem) {
    TestWindows windows;
    windows.form1.Form_Load();
    EXPECT_EQ(windows.form1.Text1->text(), QStringLiteral("localhost"));
    EXPECT_EQ(windows.form1.Text2->text(), QStringLiteral("5432"));
    EXPECT_EQ(ReadSetting(QStringLiteral("PostgreSQLServer"), QStringLiteral("missing")),
              QStringLiteral("localhost"));
    EXPECT_EQ(ReadSetting(QStringLiteral("PostgreSQLPort"), QStringLiteral("missing")),
              QStringLiteral("5432"));
}

TEST(ConnectionWindow, EveryKeystrokeReachesTheStore) {
    TestWindows windows;
    windows.form1.Form_Load();
    struct Field {
        QLineEdit* edit;
        const char* key;
    };
    const Field fields[] = {
        {windows.form1.Text1, "PostgreSQLServer"},   {windows.form1.Text2, "PostgreSQLPort"},
        {windows.form1.Text3, "PostgreSQLUser"},     {windows.form1.Text4, "PostgreSQLPassword"},
        {windows.form1.Text5, "PostgreSQLDatabase"},
    };
    const QString typed = QStringLiteral("a;b=c d");
    for (const Field& field : fields) {
        SCOPED_TRACE(field.key);
        field.edit->setText(QStringLiteral("old"));
        field.edit->clear();
        EXPECT_EQ(ReadSetting(QString::fromLatin1(field.key), QStringLiteral("missing")),
                  QString());
        for (int i = 0; i < typed.size(); ++i) {
            QTest::keyClick(field.edit, typed[i].toLatin1());
            EXPECT_EQ(ReadSetting(QString::fromLatin1(field.key)), typed.left(i + 1));
        }
        QTest::keyClick(field.edit, Qt::Key_Backspace);
        EXPECT_EQ(ReadSetting(QString::fromLatin1(field.key)), typed.left(typed.size() - 1));
    }
    EXPECT_EQ(windows.form1.Text4->displayText(), QString(typed.size() - 1, QLatin1Char('*')))
        << "the password shows one star per character";
}

TEST(ConnectionWindow, TabbingIntoAFieldSelectsItsWholeText) {
    TestWindows windows;
    windows.form1.Form_Load();
    windows.form1.show();
    QApplication::setActiveWindow(&windows.form1);
    windows.form1.Text1->setFocus();
    QLineEdit* const order[] = {windows.form1.Text2, windows.form1.Text3, windows.form1.Text4,
                                windows.form1.Text5};
    int n = 0;
    for (QLineEdit* field : order)
        field->setText(QStringLiteral("value %1").arg(++n));
    for (QLineEdit* field : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), field);
        EXPECT_EQ(field->selectedText(), field->text()) << field->objectName().toStdString();
    }
}

TEST(ConnectionWindow, NextWithAWrongPasswordChangesNothing) {
    TestDatabase database;
    TestWindows windows;
    windows.startWith(database.settings());
    Form2& main = windows.form1.mainWindow();
    main.addFileEntry(QStringLiteral("/data/a.csv"));
    main.Text3->setText(QStringLiteral(";"));

    QTest::mouseClick(main.PushButton5, Qt::LeftButton); // "Setup Connection"
    ASSERT_TRUE(windows.form1.isVisible());
    ASSERT_FALSE(main.isVisible());
    windows.form1.Text3->setText(TestServer::get().role);
    windows.form1.Text4->setText(WrongPassword);
    QTest::mouseClick(windows.form1.PushButton3, Qt::LeftButton); // "Next >"

    EXPECT_TRUE(windows.form1.isVisible());
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.Text3->text(), QStringLiteral(";")) << "the main window was not set up again";
    EXPECT_EQ(windows.form1.pointer()->mode(), WindowPointer::Mode::Default);
    EXPECT_TRUE(windows.ui.messages.isEmpty());
    EXPECT_TRUE(windows.ui.errors.isEmpty());
}

TEST(ConnectionWindow, TestConnectionKeepsTheHourglassUntilTheBoxIsClosed) {
    TestDatabase database;
    TestWindows windows;
    Form1& form1 = windows.form1;
    RecordingUserInterface& ui = windows.ui;
    QList<WindowPointer::Mode> modes; // the pointer at each message
    ui.onBox = [&](const QString&, bool error) {
        if (!error)
            modes.append(form1.pointer()->mode());
    };
    const ConnectionSettings settings = database.settings();
    form1.Text1->setText(settings.server);
    form1.Text2->setText(settings.port);
    form1.Text3->setText(settings.user);
    form1.Text5->setText(settings.database);

    struct Case {
        const char* name;
        QString password;
        QString message;
    };
    const Case cases[] = {
        {"working", TestServer::get().password, QStringLiteral("Connection successful.")},
        {"wrong password", WrongPassword,
         QStringLiteral("Could not connect. Please check with your administrator.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.messages.clear();
        modes.clear();
        form1.Text4->setText(c.password);
        QTest::mouseClick(form1.PushButton5, Qt::LeftButton);
        EXPECT_EQ(ui.messages, QStringList{c.message});
        EXPECT_EQ(modes, QList<WindowPointer::Mode>{WindowPointer::Mode::Busy});
        EXPECT_EQ(form1.pointer()->mode(), WindowPointer::Mode::Default);
        EXPECT_FALSE(form1.mainWindowLoaded()) << "the test switches no window";
    }
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST(ConnectionWindow, HelpShowsTheDownloadAddressAsText) {
    TestWindows windows;
    QTest::mouseClick(windows.form1.PushButton1, Qt::LeftButton);
    ASSERT_EQ(windows.ui.messages.size(), 1);
    const QString text = windows.ui.messages.first();
    EXPECT_TRUE(text.startsWith(
        QStringLiteral("If you can not connect, please try downloading pgAdmin III. If you can "
                       "not connect with that software, you know the login information you are "
                       "providing here is incorrect.\r\n\r\nhttp")));
    EXPECT_FALSE(text.mid(text.lastIndexOf(QLatin1Char('\n')) + 1).contains(QLatin1Char(' ')));
}

TEST(ConnectionWindow, ClosingEitherWindowEndsTheProgram) {
    TestDatabase database;
    TestWindows windows;
    windows.startWith(database.settings());
    QWidget* const windowsToClose[] = {&windows.form1.mainWindow(), &windows.form1};
    int expected = 0;
    for (QWidget* window : windowsToClose) {
        window->show();
        window->close();
        EXPECT_EQ(windows.endRequests, ++expected) << window->objectName().toStdString();
    }
}
