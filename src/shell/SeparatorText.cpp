#include "shell/SeparatorText.h"

QString separatorFromTyped(const QString& typed) {
    QString separator = typed;
    separator.replace(QLatin1String("\\t"), QStringLiteral("\t"));
    return separator;
}
