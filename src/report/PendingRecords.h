#pragma once

#include <QDataStream>
#include <QFile>
#include <QString>
#include <memory>

// The rejected records of the file whose turn it is, in the order they were rejected, kept in a
// temporary file of the program's own until the turn ends: memory holds none of their texts.
// Used on the run's thread.
class PendingRecords {
public:
    struct Entry {
        qint64 line = 0;  // index of the record's first line (line 0 is the file's first)
        QString sqlState; // the server's, or empty
        QString what;     // why it was rejected
    };

    PendingRecords();
    ~PendingRecords();

    // Throws Failure when the temporary file can't be made or written.
    void add(const Entry& entry);
    qint64 count() const { return m_count; }

    // Reading, from the first entry after rewind(); false after the last. Throws Failure when
    // the temporary file can't be read.
    void rewind();
    bool next(Entry& entry);

    // Forgets every entry.
    void clear();

private:
    std::unique_ptr<QFile> m_file;
    QDataStream m_stream;
    qint64 m_count = 0;
    qint64 m_read = 0;
};
