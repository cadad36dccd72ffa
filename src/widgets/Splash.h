#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;

// A picture from the "Splash" folder beside the program, shown for a few seconds, with a box
// that stops it from appearing at later starts.
class Splash : public QWidget {
    Q_OBJECT
public:
    explicit Splash(QWidget* parent = nullptr);

    // Shows the picture in the window and sizes the window to it: the picture at the top left,
    // inside the one-pixel frame (which hides its outermost pixels), 300 twips below it for
    // Check1, whose bottom edge sits 20 twips above the window's.
    // Throws Failure when the file is not a readable picture.
    void setPicture(const QString& path);

    QLabel* Image1;
    QCheckBox* Check1;

    void Check1_Click();

protected:
    // The one-line frame along the four edges (Line1 to Line4).
    void paintEvent(QPaintEvent* event) override;
};

// Shows the splash window unless ShowAgain holds a number other than 0 or the "Splash" folder
// holds no file, waits 4 seconds (0.4 in a development run) with the window live, hides it
// and returns. Throws Failure when ShowAgain is not a number or the picture can't be read.
void SplashShow();

// Returns after the given seconds, handling window events meanwhile. A wait across midnight
// ends at the first look after it.
void WaitSeconds(double seconds);

// The first ordinary, visible file of the "Splash" folder beside the program, or the empty
// text when there is none.
QString splashPicture();
