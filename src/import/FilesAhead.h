#pragma once

#include "import/FileReadAhead.h"

#include <deque>

// The files of the list read ahead, each on a thread of its own (FileReadAhead), in list order
// after the file whose turn it is; with several jobs, as many files go side by side as there
// are connections. Each file read ahead is sent, when it can be, once the gate of the file
// before it opened (AheadGate): the turn's file takes one connection, or the file before was
// sent ahead too. Used from the run's thread.
class FilesAhead {
public:
    explicit FilesAhead(FileReadAhead::Reading reading)
        : m_reading(std::move(reading)) {}
    ~FilesAhead() { stop(); }
    FilesAhead(const FilesAhead&) = delete;
    FilesAhead& operator=(const FilesAhead&) = delete;

    // Starts reading the file at the position (after every one read ahead so far) ahead.
    void start(int position, const QString& path, FileReadAhead::Sending sending = {});
    // Takes a reading already started (readFirstFileAhead()) as that of the position, before
    // any other was started.
    void adopt(int position, std::unique_ptr<FileReadAhead> reading) {
        m_slots.push_back(Slot{position, std::move(reading)});
    }
    // The position of the last file read ahead; 0 when none is.
    int lastPosition() const { return m_slots.empty() ? 0 : m_slots.back().position; }
    // The turn of the file at the position begins: the turn before is over. What was read
    // ahead of it (FileReadAhead::take()), if it was.
    std::optional<FileReadAhead::Ready> take(int position, const QString& path,
                                             const std::function<bool()>& stopped = {});
    // The file whose turn it is takes one connection: the files after it may be sent.
    void turnTakesOneConnection() { m_turn->open(); }
    // Whether the file at the position, the first read ahead, was sent ahead
    // (FileReadAhead::sentAhead()).
    bool sentAhead(int position, const QString& path);
    // Stops every reading ahead and waits for its thread.
    void stop();
    // The rows the server accepted so far of the files sent ahead.
    qint64 rowsSentAhead() const;

private:
    struct Slot {
        int position;
        std::unique_ptr<FileReadAhead> reading;
    };

    FileReadAhead::Reading m_reading;
    std::deque<Slot> m_slots;
    std::shared_ptr<AheadGate> m_turn = std::make_shared<AheadGate>(); // of the turn's file
};
