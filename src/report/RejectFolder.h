#pragma once

#include <QFile>
#include <QString>
#include <memory>

// A folder that takes the rejected lines of input files: for each file a pair, NAME.rejected
// (the file's header line, then its rejected records, byte for byte) and NAME.rejected.csv (the
// reasons), NAME being the input file's name. Two inputs of one name, or a pair already in the
// folder, make NAME.2, NAME.3, ...: an existing file is never written over.
class RejectFolder {
public:
    explicit RejectFolder(QString folder)
        : m_folder(std::move(folder)) {}

    // Makes the folder, and those above it, when missing. Throws Failure with the system's
    // words when it can't, or when the path names something else than a folder.
    void make() const;

    struct Pair {
        std::unique_ptr<QFile> lines;
        std::unique_ptr<QFile> reasons;
    };
    // Opens a new pair for the input file at inputPath, both files created here and empty.
    // Throws Failure with the system's words when they can't be made.
    Pair create(const QString& inputPath) const;

private:
    QString m_folder;
};
