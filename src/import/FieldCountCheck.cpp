#include "import/FieldCountCheck.h"

#include "import/Statements.h"
#include "import/TextFileReader.h"

std::optional<QString> CheckFieldCounts(const QString& path, qint16 expected,
                                        const QString& separator, TextEncoding encoding) {
    TextFileReader reader(path, encoding);
    QString line;
    if (!reader.readLine(line))
        return std::nullopt;
    for (qint64 index = 1; reader.readLine(line); ++index) {
        if (!line.isEmpty() && FieldCount(line, separator) - 1 != expected)
            return QStringLiteral("Line no ") + QString::number(index) + QStringLiteral(": ") +
                   line;
    }
    return std::nullopt;
}
