#include "shell/FileEntries.h"

#include "shell/AddFolder.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/StepRunner.h"
#include "shell/UserInterface.h"

#include <QCoreApplication>

namespace {

// The attribute value of a file that the folder commands leave out: hidden and archive.
constexpr int HiddenArchiveFile = 34;

// Splits a path at its last separator. The folder of a file in the root is the root itself.
struct FolderAndName {
    QString folder;
    QString name;
};

FolderAndName split(const QString& path) {
    const qsizetype last = path.lastIndexOf(platform::pathSeparator());
    if (last < 0)
        return {QString(), path};
    return {path.left(last == 0 ? 1 : last), path.mid(last + 1)};
}

} // namespace

QStringList filesInFolderTree(const QString& folder, const QString& pattern, StepRunner& run,
                              const std::function<void(const QString&)>& found) {
    const QChar separator = platform::pathSeparator();
    QStringList entries;
    run.begin(118);
    QStringList folders{folder + separator};
    run.step(120, [&] { GetSubDirectories2016(folders, true, run.ui()); });
    run.begin(122);
    for (const QString& entry : std::as_const(folders)) {
        if (run.ui().endRequested())
            return {};
        const QString current = entry.chopped(1);
        const QStringList names = run.value(
            124, [&] { return ListFolderFiles(current, pattern); }, QStringList());
        run.begin(126);
        for (const QString& name : names) {
            if (!run.test(128, [&] { return !name.startsWith(QLatin1Char('~')); }))
                continue;
            run.begin(130);
            const QString path = current + separator + name;
            if (run.test(132, [&] {
                    return FileExists(path) &&
                           platform::requireAttributes(path) != HiddenArchiveFile;
                }))
                run.step(134, [&] {
                    entries.append(NormalizePath(path));
                    if (found)
                        found(entries.last());
                });
            if (found) {
                QCoreApplication::processEvents();
                if (run.ui().endRequested())
                    return {};
            }
            run.begin(136);
        }
        run.begin(138);
    }
    return entries;
}

qsizetype fileDialogBufferLength(const QStringList& chosenPaths) {
    if (chosenPaths.isEmpty())
        return 0;
    if (chosenPaths.size() == 1)
        return chosenPaths.first().size() + 1;
    qsizetype length = split(chosenPaths.first()).folder.size() + 1;
    for (const QString& path : chosenPaths)
        length += split(path).name.size() + 1;
    return length + 1;
}

bool fitsFileDialogBuffer(const QStringList& chosenPaths) {
    return fileDialogBufferLength(chosenPaths) <= FileDialogBufferSize;
}

QStringList fileDialogEntries(const QStringList& chosenPaths) {
    if (chosenPaths.size() == 1)
        return chosenPaths;
    QStringList entries;
    entries.reserve(chosenPaths.size());
    for (const QString& path : chosenPaths) {
        const FolderAndName parts = split(path);
        entries.append(NormalizePath(parts.folder + platform::pathSeparator() + parts.name));
    }
    return entries;
}
