// Scans one folder tree and collects its files as the folder command does, printing each
// folder ("folder PATH"), each file entry ("file PATH") and each message ("message TEXT"), one
// a line. The tests run it as an ordinary user to see real refusals.
//   quenmarl_folder_probe FOLDER PATTERN
#include "shell/AddFolder.h"
#include "shell/FileEntries.h"
#include "shell/StepRunner.h"
#include "support/RecordingUserInterface.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString folder = QFile::decodeName(argv[1]);
    RecordingUserInterface ui;
    QStringList folders{folder + u'/'};
    GetSubDirectories2016(folders, true, ui);
    StepRunner run(ui, QStringLiteral("probe "));
    const QStringList files = filesInFolderTree(folder, QString::fromLocal8Bit(argv[2]), run);

    QTextStream out(stdout);
    for (const QString& entry : folders)
        out << "folder " << entry << '\n';
    for (const QString& entry : files)
        out << "file " << entry << '\n';
    for (const QString& text : ui.errors + ui.messages)
        out << "message " << QString(text).replace(u'\n', u' ').replace(u'\r', u' ') << '\n';
    return 0;
}
