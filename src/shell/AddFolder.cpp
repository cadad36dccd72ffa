#include "shell/AddFolder.h"

#include "shell/FileSystemError.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
#include "shell/StepRunner.h"
#include "shell/UserInterface.h"

#include <QCoreApplication>

#include <exception>

namespace {

// Attribute values of folders that are never descended into: hidden, system and directory
// (volume information folders), and the same with alias (the system's compatibility links).
constexpr int HiddenSystemFolder = 22;
constexpr int HiddenSystemAlias = 1046;

// Lets the window handle its events; false when the user ended the program meanwhile.
bool processPendingEvents(const UserInterface& ui) {
    QCoreApplication::processEvents();
    return !ui.endRequested();
}

// Whether a folder may be listed or kept: a file-system root always, any other folder unless
// its attribute value is exactly one of the excluded ones. Throws when it can't be examined.
bool mayDescendInto(const QString& folder) {
    if (platform::isRootFolder(folder))
        return true;
    const int attributes = platform::requireAttributes(folder);
    return attributes != HiddenSystemFolder && attributes != HiddenSystemAlias;
}

int errorCode(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const FileSystemError& failure) {
        return failure.code();
    } catch (...) {
        return 0;
    }
}

} // namespace

void GetSubDirectories2016(QStringList& folders, bool deep, UserInterface& ui) {
    StepRunner run(ui, QString::fromLatin1(FolderScanContext));
    const QChar separator = platform::pathSeparator();
    run.begin(104); // steps 100 to 104 set up what the pass works with and cannot fail
    QStringList found;

    // Until the first listing begins, a failed step is reported and the entry goes on by the
    // continuation rules; from then on it ends the entry like a failed listing.
    bool listingBegun = false;
    auto check = [&](int step, auto&& condition) -> bool {
        if (!listingBegun)
            return run.test(step, condition);
        run.begin(step);
        return condition();
    };
    auto act = [&](int step, auto&& work) {
        if (!listingBegun) {
            run.step(step, work);
            return;
        }
        run.begin(step);
        work();
    };

    run.begin(106);
    qsizetype index = 0;
    while (index < folders.size()) {
        const QString folder = folders[index];
        qsizetype next = index + 1;
        try {
            if (check(108, [&] { return !IsFolder(folder); })) {
                index = next;
                continue;
            }
            if (check(110, [&] { return folder.size() >= FolderPathLimit; })) {
                index = next;
                continue;
            }
            act(112, [&] { platform::requireAttributes(folder); });
            bool goOn = true;
            act(114, [&] { goOn = processPendingEvents(ui); });
            if (!goOn)
                return;
            if (!check(116, [&] { return mayDescendInto(folder); })) {
                index = next;
                continue;
            }

            listingBegun = true;
            run.begin(118);
            const QList<platform::FolderEntry> entries = platform::listFolder(folder);
            for (const platform::FolderEntry& entry : entries) {
                if (!entry.isFolder)
                    continue;
                run.begin(120);
                if (!processPendingEvents(ui))
                    return;
                run.begin(122);
                const QString& name = entry.name;
                run.begin(124);
                if (name.size() >= FolderPathLimit)
                    continue;
                run.begin(126);
                if (!entry.nameIsExact || HasUnusualCharacters(name))
                    continue;
                run.begin(128);
                if (name.contains(QLatin1Char('?')))
                    continue;
                // A symbolic link to a folder is not followed: one that points above itself
                // would make the scan add the same folders again and again until the path
                // length limit. Files that are links are still listed by ListFolderFiles.
                run.begin(130);
                if (name == QLatin1String(".") || name == QLatin1String("..") ||
                    entry.isSymbolicLink)
                    continue;
                run.begin(132);
                const QString path = folder + name + separator;
                run.begin(134);
                found.append(path);
                run.begin(136);
            }
            index = next;
        } catch (...) {
            run.begin(138);
            const int code = errorCode(std::current_exception());
            run.begin(140);
            if (code == FileSystemError::PermissionDenied ||
                code == FileSystemError::PathNotFound) {
                run.begin(142);
                const qsizetype at = folders.indexOf(folder);
                run.begin(148);
                if (at >= 0) {
                    folders.removeAt(at);
                    if (at <= index)
                        next = index; // the entry that followed moved into this place
                }
            }
            index = next;
        }
    }

    if (deep && !found.isEmpty())
        run.step(150, [&] { GetSubDirectories2016(found, true, ui); });
    if (ui.endRequested())
        return;

    run.begin(152);
    for (const QString& entry : std::as_const(found)) {
        if (!run.test(154, [&] { return IsFolder(entry); }))
            continue;
        bool goOn = true;
        run.step(156, [&] { goOn = processPendingEvents(ui); });
        if (!goOn)
            return;
        if (run.test(158, [&] { return mayDescendInto(entry); }))
            run.step(160, [&] { folders.append(entry); });
    }
}

QStringList ListFolderFiles(const QString& folder, const QString& pattern) {
    QString path = folder;
    if (!path.endsWith(platform::pathSeparator()))
        path += platform::pathSeparator();
    QStringList names;
    for (const platform::FolderEntry& entry : platform::listFolder(path)) {
        if (entry.isFolder || !entry.nameIsExact || !platform::nameMatches(entry.name, pattern))
            continue;
        if (FileExists(path + entry.name))
            names.append(entry.name);
    }
    return names;
}

bool FileExists(const QString& path) {
    return platform::isExistingFile(path);
}

bool HasUnusualCharacters(const QString& name) {
    return platform::hasUnusualCharacters(name);
}
