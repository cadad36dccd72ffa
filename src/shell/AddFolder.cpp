#include "shell/AddFolder.h"

#include "shell/FolderScan.h"
#include "shell/Platform.h"

void GetSubDirectories2016(QStringList& folders, bool deep, UserInterface& ui) {
    FolderScan(folders, deep, ui).run();
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
