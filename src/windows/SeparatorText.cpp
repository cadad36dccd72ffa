#include "windows/SeparatorText.h"

QString separatorFromBox(const QString& typed) {
    QString separator = typed;
    separator.replace(QLatin1String("\\t"), QStringLiteral("\t"));
    return separator;
}
