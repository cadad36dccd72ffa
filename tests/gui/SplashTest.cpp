#include "WindowTestKit.h"

#include "shell/Failure.h"
#include "shell/Platform.h"
#include "widgets/Splash.h"
#include "widgets/WindowHelpers.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(Splash, SizesItselfToThePicture) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("splash.png"));
    QImage picture(320, 240, QImage::Format_RGB32); // 4800 x 3600 twips
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(path, "PNG"));

    Splash splash;
    splash.setPicture(path);
    EXPECT_EQ(splash.size(), QSize(320, 260)) << "300 twips below the picture";
    EXPECT_EQ(splash.Check1->geometry().bottom() + 1, 260 - 1) << "20 twips above the bottom";
    EXPECT_EQ(splash.Image1->pos(), QPoint(1, 1)) << "inside the frame";
    EXPECT_THROW(splash.setPicture(folder.filePath(QStringLiteral("missing.png"))), Failure);
}

// The frame line shows on all four edges, over a picture that fills the window's width; the box
// reads in the other controls' family, not bold.
TEST(Splash, FrameShowsOnEveryEdgeAndTheBoxIsNotBold) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("splash.png"));
    QImage picture(200, 120, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(path, "PNG"));
    Splash splash;
    splash.setPicture(path);
    const QImage shown = splash.grab().toImage();
    ASSERT_EQ(shown.size(), splash.size());
    const QRgb frame = splash.palette().color(QPalette::WindowText).rgb();
    const int right = shown.width() - 1;
    const int bottom = shown.height() - 1;
    struct Edge {
        const char* name;
        QPoint from;
        QPoint step;
        int length;
    } edges[] = {
        {"top", {0, 0}, {1, 0}, shown.width()},
        {"bottom", {0, bottom}, {1, 0}, shown.width()},
        {"left", {0, 0}, {0, 1}, shown.height()},
        {"right", {right, 0}, {0, 1}, shown.height()},
    };
    for (const Edge& edge : edges) {
        SCOPED_TRACE(edge.name);
        int wrong = 0;
        for (int i = 0; i < edge.length; ++i)
            if (shown.pixel(edge.from + edge.step * i) != frame)
                ++wrong;
        EXPECT_EQ(wrong, 0) << "pixels of another colour";
    }
    EXPECT_EQ(shown.pixel(1, 1), QColor(Qt::blue).rgb()) << "the picture just inside";

    const QFontInfo box(splash.Check1->font());
    EXPECT_FALSE(box.bold());
    EXPECT_EQ(splash.Check1->font().family(), designFont(9).family());
    EXPECT_EQ(box.family(), QFontInfo(designFont(9)).family());
}

TEST(Splash, CheckBoxStoresTheChoice) {
    TemporarySettings store;
    Splash splash;
    splash.show();
    QTest::mouseClick(splash.Check1, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(ReadSetting(SettingKeys::ShowAgain), QStringLiteral("1"));
    QTest::mouseClick(splash.Check1, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(ReadSetting(SettingKeys::ShowAgain), QStringLiteral("0"));
}

TEST(Splash, ShowReturnsAtOnceWhenSuppressedOrWithoutPicture) {
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
