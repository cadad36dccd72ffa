#include "report/RejectFolder.h"

#include "shell/Failure.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Gives up after this many names taken, which only a folder filled on purpose reaches.
constexpr int MostNames = 10000;

QString baseName(const QString& inputPath) {
    const QString name = QFileInfo(inputPath).fileName();
    return name.isEmpty() || name == QLatin1String("-") ? QStringLiteral("stdin") : name;
}

} // namespace

void RejectFolder::make() const {
    const QFileInfo info(m_folder);
    if (info.exists() && !info.isDir())
        throw Failure(QStringLiteral("%1 is not a folder.").arg(m_folder));
    if (!QDir().mkpath(m_folder))
        throw Failure(QStringLiteral("Could not make the folder %1.").arg(m_folder));
}

RejectFolder::Pair RejectFolder::create(const QString& inputPath) const {
    const QString base = QDir(m_folder).filePath(baseName(inputPath));
    for (int n = 1; n <= MostNames; ++n) {
        const QString stem = n == 1 ? base : QStringLiteral("%1.%2").arg(base).arg(n);
        Pair pair{std::make_unique<QFile>(stem + QStringLiteral(".rejected")),
                  std::make_unique<QFile>(stem + QStringLiteral(".rejected.csv"))};
        if (pair.reasons->exists())
            continue;
        if (!pair.lines->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (pair.lines->exists())
                continue;
            throw Failure(QStringLiteral("Could not create %1: %2")
                              .arg(pair.lines->fileName(), pair.lines->errorString()));
        }
        if (pair.reasons->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return pair;
        const QString why = pair.reasons->errorString();
        const bool taken = pair.reasons->exists();
        pair.lines->remove();
        if (!taken)
            throw Failure(
                QStringLiteral("Could not create %1: %2").arg(pair.reasons->fileName(), why));
    }
    throw Failure(QStringLiteral("Could not find a free name for the rejected lines of %1 in %2.")
                      .arg(inputPath, m_folder));
}
