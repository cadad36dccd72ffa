#pragma once

#include "shell/StepRunner.h"

#include <QChar>
#include <QString>
#include <QStringList>

class UserInterface;

// One pass of the folder scan that GetSubDirectories2016 (AddFolder.h) describes: its contract,
// step numbers and continuation rules are those. Each phase of the numbered procedure is one
// method. Lives on the stack of the thread that owns the user interface, for one call of run().
class FolderScan {
public:
    FolderScan(QStringList& folders, bool deep, UserInterface& ui);

    void run();

private:
    // What the examination of one given folder decided.
    enum class Verdict { Skip, List, End };

    // Steps 106 to 148: every given folder examined and listed. False when the user ended the
    // program meanwhile.
    bool scanGivenFolders();
    // Steps 108 to 116. Throws, once a listing has begun, what a failed step threw.
    Verdict examine(const QString& folder);
    // Steps 118 to 136: the folder's subfolders that are kept, onto m_found. False when the
    // user ended the program meanwhile. Throws when the folder can't be listed.
    bool listSubfolders(const QString& folder);
    // Steps 122 to 130: whether a subfolder's name is carried.
    bool keepsName(const QString& name, bool nameIsExact, bool isSymbolicLink);
    // Steps 138 to 148, after the scan of m_folders[index] failed: a folder that is refused or
    // gone leaves the list. Returns the index of the entry to go on with.
    qsizetype dropFailedFolder(const QString& folder, qsizetype index);
    // Steps 150 to 160: the found subfolders scanned themselves when deep, then appended.
    void addFound();

    // A condition or an action of steps 108 to 116: until the first listing begins, through the
    // runner (a failure is reported and goes on by its rules); from then on thrown to the
    // caller, which ends the entry like a failed listing.
    template <class Condition> bool check(int step, Condition&& condition);
    template <class Work> void act(int step, Work&& work);

    QStringList& m_folders;
    bool m_deep;
    UserInterface& m_ui;
    StepRunner m_run;
    QChar m_separator;
    QStringList m_found;
    bool m_listingBegun = false;
};
