#include "shell/AppTitle.h"

#include <QCoreApplication>

QString shortenedTitle(const QString& fullName) {
    QString title = fullName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break;
        title.truncate(space);
    } while (title.size() > 40);
    return title;
}

QString applicationTitle() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QString::fromLatin1(ProductName) : name;
}

void SetApplicationTitle() {
    QCoreApplication::setApplicationName(shortenedTitle(QString::fromLatin1(ProductName)));
}

bool IsDevelopmentRun() {
#ifdef NDEBUG
    return false;
#else
    return true;
#endif
}
