#include "shell/NumberText.h"

#include <QLocale>

QString groupedCount(qint64 number) {
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(number);
}
