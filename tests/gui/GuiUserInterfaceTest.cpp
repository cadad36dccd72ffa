#include "widgets/GuiUserInterface.h"
#include "shell/AppTitle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs `show` and, once its box is up, lets `answer` work the box as a person does.
void withBox(const std::function<void()>& show, const std::function<void(QDialog*)>& answer) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        answer(box);
    });
    poll.start(10);
    show();
}

struct Shown {
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

Shown closeWithReturn(QDialog* dialog) {
    Shown shown;
    if (auto* box = qobject_cast<QMessageBox*>(dialog))
        shown = {box->windowTitle(), box->text(), box->textFormat(), box->icon()};
    QTest::keyClick(dialog, Qt::Key_Return);
    return shown;
}

} // namespace

// A message names files and server words as they are: line breaks become the box's own, and
// markup in them is shown, never rendered.
TEST(GuiUserInterface, MessagesShowTheirTextPlainUnderTheirTitleAndCloseOnReturn) {
    GuiUserInterface ui;
    const QString text = QStringLiteral("File <b>a&amp;b</b>.txt\r\rnext\r\nlast");
    const QString shownText = QStringLiteral("File <b>a&amp;b</b>.txt\n\nnext\nlast");
    Shown message;
    withBox([&] { ui.message(text); }, [&](QDialog* box) { message = closeWithReturn(box); });
    EXPECT_EQ(message.title, applicationTitle());
    EXPECT_EQ(message.text, shownText);
    EXPECT_EQ(message.format, Qt::PlainText);
    EXPECT_EQ(message.icon, QMessageBox::NoIcon);

    Shown error;
    withBox([&] { ui.applicationError(text); },
            [&](QDialog* box) { error = closeWithReturn(box); });
    EXPECT_EQ(error.title, QStringLiteral("Application Error"));
    EXPECT_EQ(error.text, shownText);
    EXPECT_EQ(error.format, Qt::PlainText);
    EXPECT_EQ(error.icon, QMessageBox::Warning);
}

// The input box offers the default answer; OK gives what the field holds, Cancel nothing.
TEST(GuiUserInterface, TheInputBoxGivesTheAnswerOnReturnAndNothingOnEscape) {
    GuiUserInterface ui;
    struct Case {
        const char* name;
        std::function<void(QLineEdit*)> type;
        Qt::Key close;
        QString answer;
    } cases[] = {
        {"the default taken as offered", [](QLineEdit*) {}, Qt::Key_Return, QStringLiteral("txt")},
        {"a new answer typed over it",
         [](QLineEdit* field) {
             QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(field, QStringLiteral("csv"));
         },
         Qt::Key_Return, QStringLiteral("csv")},
        {"Escape after typing",
         [](QLineEdit* field) { QTest::keyClicks(field, QStringLiteral("x")); }, Qt::Key_Escape,
         QString()},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        QString offered;
        QString title;
        QString answer = QStringLiteral("unset");
        withBox(
            [&] {
                answer = ui.inputText(QStringLiteral("Extension?\r\r(* for all)"),
                                      QStringLiteral("txt"));
            },
            [&](QDialog* box) {
                auto* field = box->findChild<QLineEdit*>();
                if (!field) {
                    ADD_FAILURE() << "no field in the input box";
                    box->reject();
                    return;
                }
                title = box->windowTitle();
                offered = field->text();
                row.type(field);
                QTest::keyClick(field, row.close);
            });
        EXPECT_EQ(title, applicationTitle());
        EXPECT_EQ(offered, QStringLiteral("txt"));
        EXPECT_EQ(answer, row.answer);
    }
}

// The window a box belongs to goes while the box waits (the program ending): the box goes with
// it, is deleted once, and its question is answered with nothing.
TEST(GuiUserInterface, ABoxWhoseWindowGoesAnswersNothing) {
    GuiUserInterface ui;
    QString answer;
    bool listRest = true;
    const struct {
        const char* name;
        std::function<void()> show;
    } cases[] = {
        {"a message", [&] { ui.message(QStringLiteral("Done.")); }},
        {"a rejected row", [&] { listRest = ui.rejectedRowError(QStringLiteral("bad")); }},
        {"an input box", [&] { answer = ui.inputText(QStringLiteral("Name?"), "x"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* window = new QWidget;
        window->show();
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        answer = QStringLiteral("unset");
        withBox(c.show, [&](QDialog* box) {
            EXPECT_EQ(box->parentWidget(), window);
            delete window;
        });
    }
    EXPECT_EQ(answer, QString());
    EXPECT_FALSE(listRest);
}

// A rejected row's box is the "Application Error" box with one more button: Return keeps OK,
// the default; a click on "List the rest at the end" says so.
TEST(GuiUserInterface, TheRejectedRowBoxOffersToListTheRest) {
    GuiUserInterface ui;
    const QString text = QStringLiteral("ERROR:  value too long\r\nin Form2 at line 342");
    Shown shown;
    QStringList buttons;
    const bool onReturn = [&] {
        bool listed = true;
        withBox([&] { listed = ui.rejectedRowError(text); },
                [&](QDialog* box) {
                    for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons())
                        buttons << button->text().remove(QLatin1Char('&'));
                    shown = closeWithReturn(box);
                });
        return listed;
    }();
    EXPECT_FALSE(onReturn);
    EXPECT_EQ(shown.title, QStringLiteral("Application Error"));
    EXPECT_EQ(shown.text, QStringLiteral("ERROR:  value too long\nin Form2 at line 342"));
    EXPECT_EQ(shown.icon, QMessageBox::Warning);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"List the rest at the end", "OK"}));

    bool listed = false;
    withBox([&] { listed = ui.rejectedRowError(text); },
            [](QDialog* box) {
                for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons()) {
                    if (button->text() == QStringLiteral("List the rest at the end"))
                        QTest::mouseClick(button, Qt::LeftButton);
                }
            });
    EXPECT_TRUE(listed);
}

// A box with a short text is still wide enough for its title bar to show the whole title in
// the title-bar font beside the bar's icon and its three buttons, each at least a line wide;
// the text stays as given.
TEST(GuiUserInterface, EveryBoxIsWideEnoughForItsWholeTitle) {
    GuiUserInterface ui;
    QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    const struct {
        const char* name;
        std::function<void()> show;
        QString text; // of a message box; empty for the input box
    } cases[] = {
        {"the closing message", [&] { ui.message(QStringLiteral("Done.")); }, "Done."},
        {"an error", [&] { ui.applicationError(QStringLiteral("x")); }, "x"},
        {"a rejected row", [&] { ui.rejectedRowError(QStringLiteral("x")); }, "x"},
        {"an input box", [&] { ui.inputText(QStringLiteral("?"), QString()); }, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString shownTitle;
        QString shownText;
        int width = 0;
        withBox(c.show, [&](QDialog* box) {
            shownTitle = box->windowTitle();
            width = box->width();
            if (auto* message = qobject_cast<QMessageBox*>(box))
                shownText = message->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        ASSERT_FALSE(shownTitle.isEmpty());
        EXPECT_GE(width, title.horizontalAdvance(shownTitle) + 4 * title.height())
            << shownTitle.toStdString();
        EXPECT_EQ(shownText, c.text);
    }
}
