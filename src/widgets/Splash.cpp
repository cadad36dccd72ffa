#include "widgets/Splash.h"

#include "shell/AppTitle.h"
#include "shell/Failure.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/Settings.h"
#include "widgets/WindowHelpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QThread>
#include <QTime>

Splash::Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint)
    , Image1(new QLabel(this))
    , Check1(new QCheckBox(QStringLiteral("Hide this at next startup"), this)) {
    Image1->setObjectName(QStringLiteral("Image1"));
    Check1->setObjectName(QStringLiteral("Check1"));
    // The other controls' family, at normal weight.
    QFont font = designFont(9);
    font.setWeight(QFont::Normal);
    Check1->setFont(font);
    Check1->setGeometry(twips(120), 0, twips(3600), twips(255));
    connect(Check1, &QCheckBox::clicked, this, &Splash::Check1_Click);
}

void Splash::setPicture(const QString& path) {
    const QPixmap picture(path);
    if (picture.isNull())
        throw Failure(QStringLiteral("Invalid picture: %1").arg(path));
    const QSize window(picture.width(), picture.height() + twips(300));
    Image1->setPixmap(picture);
    // Inside the frame: the picture's outermost pixels give way to its line.
    Image1->setGeometry(QRect(QPoint(0, 0), window).adjusted(1, 1, -1, -1));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFixedSize(window);
    Check1->move(Check1->x(), window.height() - Check1->height() - twips(20));
}

void Splash::Check1_Click() {
    WriteSetting(SettingKeys::ShowAgain,
                 Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void Splash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QString splashPicture() {
    const QDir folder(platform::fileBesideProgram(QStringLiteral("Splash")));
    const QStringList files = folder.entryList(QDir::Files, QDir::Unsorted);
    return files.isEmpty() ? QString() : folder.filePath(files.first());
}

void SplashShow() {
    bool isNumber = false;
    const double showAgain = ReadSetting(SettingKeys::ShowAgain).trimmed().toDouble(&isNumber);
    if (!isNumber)
        throw Failure(QStringLiteral("Type mismatch"));
    if (showAgain != 0)
        return;
    const QString picture = splashPicture();
    if (picture.isEmpty() || !PathExists(picture))
        return;

    // A fresh window each time: the box's state lives in the store, not in the window.
    Splash splash;
    splash.setWindowTitle(QString::fromLatin1(ProductName));
    splash.setPicture(picture);
    splash.show();
    WaitSeconds(IsDevelopmentRun() ? 0.4 : 4);
    splash.hide();
}

void WaitSeconds(double seconds) {
    const int start = QTime::currentTime().msecsSinceStartOfDay();
    for (;;) {
        const int now = QTime::currentTime().msecsSinceStartOfDay();
        if (now < start || now - start >= seconds * 1000)
            return;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}
