#include "widgets/WindowHelpers.h"
#include "shell/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

// A window with one control of each kind that the colouring treats differently.
struct SampleWindow {
    QWidget window;
    QGroupBox* frame = new QGroupBox(QStringLiteral("Frame1"), &window);
    QLabel* label = new QLabel(QStringLiteral("Label1"), frame);
    QRadioButton* option = new QRadioButton(QStringLiteral("Option1"), frame);
    QCheckBox* check = new QCheckBox(QStringLiteral("Check2"), frame);
    QLineEdit* text = new QLineEdit(frame);
    QPushButton* button = new QPushButton(QStringLiteral("PushButton1"), &window);

    SampleWindow() {
        for (QWidget* w :
             std::initializer_list<QWidget*>{&window, frame, label, option, check, text, button}) {
            QPalette white = w->palette();
            white.setColor(QPalette::Window, Qt::white);
            w->setPalette(white);
        }
    }
};

QColor background(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

} // namespace

TEST(WindowHelpers, ApplyButtonFaceColorsColoursTheWindowAndItsFramesLabelsAndOptionsOnly) {
    SampleWindow sample;
    ApplyButtonFaceColors(&sample.window);
    const QColor face = QApplication::palette().color(QPalette::Button);
    ASSERT_NE(face, QColor(Qt::white)) << "the style's button face must differ from white";
    for (const QWidget* w :
         {static_cast<QWidget*>(&sample.window), static_cast<QWidget*>(sample.frame),
          static_cast<QWidget*>(sample.label), static_cast<QWidget*>(sample.option),
          static_cast<QWidget*>(sample.check)})
        EXPECT_EQ(background(w), face) << w->metaObject()->className();
    EXPECT_EQ(background(sample.text), QColor(Qt::white));
    EXPECT_EQ(background(sample.button), QColor(Qt::white));
}

TEST(WindowHelpers, LoadApplicationSkinColoursTheWindowOnlyWhenTheSkinFileStandsBesideTheProgram) {
    const QString skinFolder = platform::fileBesideProgram(QStringLiteral("x"));
    const QString skinFile = skinFolder + QStringLiteral("/o.cjs");
    QFile::remove(skinFile);
    {
        SampleWindow sample;
        LoadApplicationSkin(&sample.window);
        EXPECT_EQ(background(&sample.window), QColor(Qt::white));
    }
    ASSERT_TRUE(QDir().mkpath(skinFolder));
    QFile(skinFile).open(QIODevice::WriteOnly);
    {
        SampleWindow sample;
        LoadApplicationSkin(&sample.window);
        EXPECT_EQ(background(&sample.window), QApplication::palette().color(QPalette::Button));
        EXPECT_EQ(background(sample.text), QColor(Qt::white));
    }
    QFile::remove(skinFile);
    QDir().rmdir(skinFolder);
}
