#include "shell/FolderScan.h"

#include "shell/AddFolder.h"
#include "shell/FileSystemError.h"
#include "shell/Paths.h"
#include "shell/Platform.h"
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

FolderScan::FolderScan(QStringList& folders, bool deep, UserInterface& ui)
    : m_folders(folders)
    , m_deep(deep)
    , m_ui(ui)
    , m_run(ui, QString::fromLatin1(FolderScanContext))
    , m_separator(platform::pathSeparator()) {}

void FolderScan::run() {
    m_run.begin(104); // steps 100 to 104 set up what the pass works with and cannot fail
    if (!scanGivenFolders())
        return;
    if (m_deep && !m_found.isEmpty())
        m_run.step(150, [&] { FolderScan(m_found, true, m_ui).run(); });
    if (m_ui.endRequested())
        return;
    addFound();
}

template <class Condition> bool FolderScan::check(int step, Condition&& condition) {
    if (!m_listingBegun)
        return m_run.test(step, condition);
    m_run.begin(step);
    return condition();
}

template <class Work> void FolderScan::act(int step, Work&& work) {
    if (!m_listingBegun) {
        m_run.step(step, work);
        return;
    }
    m_run.begin(step);
    work();
}

bool FolderScan::scanGivenFolders() {
    m_run.begin(106);
    qsizetype index = 0;
    while (index < m_folders.size()) {
        const QString folder = m_folders[index];
        qsizetype next = index + 1;
        try {
            const Verdict verdict = examine(folder);
            if (verdict == Verdict::End)
                return false;
            if (verdict == Verdict::List && !listSubfolders(folder))
                return false;
        } catch (...) {
            next = dropFailedFolder(folder, index);
        }
        index = next;
    }
    return true;
}

FolderScan::Verdict FolderScan::examine(const QString& folder) {
    if (check(108, [&] { return !IsFolder(folder); }))
        return Verdict::Skip;
    if (check(110, [&] { return folder.size() >= FolderPathLimit; }))
        return Verdict::Skip;
    act(112, [&] { platform::requireAttributes(folder); });
    bool goOn = true;
    act(114, [&] { goOn = processPendingEvents(m_ui); });
    if (!goOn)
        return Verdict::End;
    if (!check(116, [&] { return mayDescendInto(folder); }))
        return Verdict::Skip;
    return Verdict::List;
}

bool FolderScan::listSubfolders(const QString& folder) {
    m_listingBegun = true;
    m_run.begin(118);
    const QList<platform::FolderEntry> entries = platform::listFolder(folder);
    for (const platform::FolderEntry& entry : entries) {
        if (!entry.isFolder)
            continue;
        m_run.begin(120);
        if (!processPendingEvents(m_ui))
            return false;
        m_run.begin(122);
        const QString& name = entry.name;
        if (!keepsName(name, entry.nameIsExact, entry.isSymbolicLink))
            continue;
        m_run.begin(132);
        const QString path = folder + name + m_separator;
        m_run.begin(134);
        m_found.append(path);
        m_run.begin(136);
    }
    return true;
}

bool FolderScan::keepsName(const QString& name, bool nameIsExact, bool isSymbolicLink) {
    m_run.begin(124);
    if (name.size() >= FolderPathLimit)
        return false;
    m_run.begin(126);
    if (!nameIsExact || HasUnusualCharacters(name))
        return false;
    m_run.begin(128);
    if (name.contains(QLatin1Char('?')))
        return false;
    // A symbolic link to a folder is not followed: one that points above itself would make
    // the scan add the same folders again and again until the path length limit. Files that
    // are links are still listed by ListFolderFiles.
    m_run.begin(130);
    return name != QLatin1String(".") && name != QLatin1String("..") && !isSymbolicLink;
}

qsizetype FolderScan::dropFailedFolder(const QString& folder, qsizetype index) {
    m_run.begin(138);
    const int code = errorCode(std::current_exception());
    m_run.begin(140);
    if (code != FileSystemError::PermissionDenied && code != FileSystemError::PathNotFound)
        return index + 1;
    m_run.begin(142);
    const qsizetype at = m_folders.indexOf(folder);
    m_run.begin(148);
    if (at >= 0) {
        m_folders.removeAt(at);
        if (at <= index)
            return index; // the entry that followed moved into this place
    }
    return index + 1;
}

void FolderScan::addFound() {
    m_run.begin(152);
    for (const QString& entry : std::as_const(m_found)) {
        if (!m_run.test(154, [&] { return IsFolder(entry); }))
            continue;
        bool goOn = true;
        m_run.step(156, [&] { goOn = processPendingEvents(m_ui); });
        if (!goOn)
            return;
        if (m_run.test(158, [&] { return mayDescendInto(entry); }))
            m_run.step(160, [&] { m_folders.append(entry); });
    }
}
