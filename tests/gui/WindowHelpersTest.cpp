#include "widgets/WindowHelpers.h"
#include "shell/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
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

// As drawn: the inside of a frame shows the same button face as the window around it, at the
// ordinary and at a fractional pixel density.
TEST(WindowHelpers, ApplyButtonFaceColorsDrawsTheFramesInsideInTheWindowsColour) {
    QWidget window;
    window.resize(240, 220);
    auto* frame = new QGroupBox(QStringLiteral("Frame1"), &window);
    frame->setGeometry(10, 10, 200, 120);
    auto* button = new QPushButton(QStringLiteral("PushButton1"), &window);
    button->setGeometry(10, 150, 120, 40);
    ApplyButtonFaceColors(&window);
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (const qreal ratio : {1.0, 1.5}) {
        SCOPED_TRACE(ratio);
        QPixmap shown(window.size() * ratio);
        shown.setDevicePixelRatio(ratio);
        window.render(&shown);
        const QImage image = shown.toImage();
        const auto at = [&](QPoint point) { return image.pixelColor(point * ratio); };
        const QColor outside = at({5, 140});
        EXPECT_EQ(outside, face) << "the window's background";
        EXPECT_EQ(at(frame->geometry().center()), outside) << "inside the frame";
        EXPECT_EQ(at(frame->geometry().bottomLeft() + QPoint(10, -10)), outside)
            << "near the frame's line";
        EXPECT_EQ(at({button->geometry().center().x(), button->geometry().bottom() + 5}), outside);
    }
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
