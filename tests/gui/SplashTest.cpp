#include "WindowTestKit.h"

#include "shell/Failure.h"
#include "shell/Platform.h"
#include "widgets/Splash.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
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
    EXPECT_EQ(splash.Image1->pos(), QPoint(0, 0));
    EXPECT_THROW(splash.setPicture(folder.filePath(QStringLiteral("missing.png"))), Failure);
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
