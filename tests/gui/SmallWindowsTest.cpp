#include "WindowTestKit.h"

#include "shell/Failure.h"
#include "shell/Platform.h"
#include "widgets/Splash.h"
#include "widgets/WindowPointer.h"
#include "windows/Form3.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

} // namespace

TEST(WindowPointer, CursorFilesGiveTheirHotSpot) {
    const QByteArray shipped = readAll(platform::fileBesideProgram(QStringLiteral("HAND-M.CUR")));
    QByteArray icon = shipped;
    icon[2] = 1; // the same picture stored as an icon
    const std::tuple<const char*, QByteArray, std::optional<QPoint>> cases[] = {
        {"the shipped hand cursor", shipped, QPoint(11, 1)},
        {"an icon file", icon, std::nullopt},
        {"a cut-off header", shipped.left(12), std::nullopt},
        {"PNG data", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(30, 0), std::nullopt},
    };
    for (const auto& [name, data, expected] : cases)
        EXPECT_EQ(cursorFileHotSpot(data), expected) << name;
}

TEST(WindowPointer, LoadsTheHandCursorByContent) {
    QTemporaryDir folder;
    const QString png = folder.filePath(QStringLiteral("png-inside.cur"));
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(png, "PNG"));
    const QString text = folder.filePath(QStringLiteral("text.cur"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();

    const std::tuple<const char*, QString, bool> cases[] = {
        {"a Windows cursor", platform::fileBesideProgram(QStringLiteral("HAND-M.CUR")), true},
        {"PNG bytes under a cursor name", png, true},
        {"text", text, false},
        {"a missing file", folder.filePath(QStringLiteral("missing.cur")), false},
    };
    for (const auto& [name, path, loads] : cases) {
        QWidget window;
        WindowPointer pointer(&window);
        EXPECT_EQ(pointer.loadHandCursor(path), loads) << name;
        pointer.setMode(WindowPointer::Mode::Custom);
        EXPECT_EQ(window.cursor().shape(), loads ? Qt::BitmapCursor : Qt::ArrowCursor) << name;
    }
}

TEST(ResultsWindow, ShowsTheReportAndCloses) {
    RecordingUserInterface ui;
    Form3 window(ui);
    window.Form_Load();
    window.Text1->setPlainText(QStringLiteral("Line no 4: a,b"));
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Lines"));
    EXPECT_TRUE(window.pointer()->hasHandCursor());
    QTest::mouseMove(window.PushButton5, QPoint(5, 5));
    EXPECT_EQ(window.pointer()->mode(), WindowPointer::Mode::Custom);
    EXPECT_EQ(window.Text1->toPlainText(), QStringLiteral("Line no 4: a,b"));

    QTest::mouseClick(window.PushButton5, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST(SplashWindow, SizesItselfToThePicture) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("splash.png"));
    QImage picture(320, 240, QImage::Format_RGB32); // 4800 x 3600 twips
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(path, "PNG"));

    Splash splash;
    splash.setPicture(path);
    EXPECT_EQ(splash.size(), QSize(320, 260)) << "300 twips below the picture";
    EXPECT_EQ(splash.Check1->geometry().bottom() + 1, 260 - 1) << "20 twips above the bottom";
    EXPECT_EQ(splash.Image1->pos(), QPoint(0, 0));
    EXPECT_THROW(splash.setPicture(folder.filePath(QStringLiteral("missing.png"))), Failure);
}

TEST(SplashWindow, CheckBoxStoresTheChoice) {
    TemporarySettings store;
    Splash splash;
    splash.show();
    QTest::mouseClick(splash.Check1, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(ReadSetting(SettingKeys::ShowAgain), QStringLiteral("1"));
    QTest::mouseClick(splash.Check1, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(ReadSetting(SettingKeys::ShowAgain), QStringLiteral("0"));
}

TEST(SplashWindow, ShowReturnsAtOnceWhenSuppressedOrWithoutPicture) {
    ASSERT_FALSE(QFile::exists(platform::fileBesideProgram(QStringLiteral("Splash"))));
    const std::pair<const char*, const char*> cases[] = {
        {"suppressed", "1"},
        {"allowed, but no Splash folder", "0"},
    };
    for (const auto& [name, value] : cases) {
        TemporarySettings store;
        WriteSetting(SettingKeys::ShowAgain, QString::fromLatin1(value));
        QElapsedTimer clock;
        clock.start();
        EXPECT_NO_THROW(SplashShow()) << name;
        EXPECT_LT(clock.elapsed(), 300) << name;
    }
    TemporarySettings store;
    WriteSetting(SettingKeys::ShowAgain, QStringLiteral("yes"));
    EXPECT_THROW(SplashShow(), Failure) << "a stored value that is not a number";
}
