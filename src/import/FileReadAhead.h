#pragma once

#include "import/AheadGate.h"
#include "import/ImportChoices.h"
#include "import/SentAhead.h"
#include "textfile/InputFile.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// A file of the list opened and checked on a thread of its own while the run sends an earlier
// one, so that its field-count pass (and the unpacking of a compressed file) takes no
// time of the run's own. Nothing is shown from here: the run takes the file at its turn and
// tells then, in order, what its reading found; when reading ahead failed, or the file is not
// a regular one (a pipe is read at its turn, where waiting for its writer can be given up), the
// turn reads the file itself. Used from the run's thread (FilesAhead).
class FileReadAhead {
public:
    // What was read ahead: the file, open, its header read, and the check's outcome; and when
    // the check passed it and it could go, the file sent ahead (SentAhead), which reads it.
    struct Ready {
        std::unique_ptr<InputFile> file;
        InputFile::Checked checked;
        std::unique_ptr<SentAhead> sent;
    };
    // Starts the sending of a file that passed the check, or not (SentAhead::start()).
    using Sending = std::function<std::unique_ptr<SentAhead>(InputFile& file)>;

    // How every file of the run is read.
    struct Reading {
        FieldRule rule;
        QString separator;
        qint64 startSpacing;   // InputFile::noteRecordStartsEvery()
        bool detectTypes;      // InputFile's
        qint64 halvesFrom = 0; // InputFile::checkInHalvesFrom(): where nothing else is read

        // The run's reading: over several connections, where a later cut into ranges may fall
        // is noted, and, for the file whose turn it is (nothing else read meanwhile), a file as
        // long as ranges take is checked in two halves at once.
        static Reading of(const ImportChoices& choices, bool turn);
        // A file to be opened and read so.
        std::unique_ptr<InputFile> inputFile() const;
    };

    explicit FileReadAhead(Reading reading)
        : m_reading(std::move(reading)) {}
    ~FileReadAhead() { stop(); }
    FileReadAhead(const FileReadAhead&) = delete;
    FileReadAhead& operator=(const FileReadAhead&) = delete;

    // Starts reading the file ahead, after stopping what was read ahead before; with a
    // sending, a file that passes the check is handed to it once the gate before it opened.
    void start(const QString& path, Sending sending = {},
               std::shared_ptr<AheadGate> before = nullptr);
    // Opened once the file was sent ahead, else by the run (FilesAhead).
    const std::shared_ptr<AheadGate>& gate() const { return m_gate; }
    // What was read ahead of path, once its reading ended; nothing when another file, or none,
    // was read ahead, or when its reading failed. While the reading is awaited, stopped is asked
    // (a statement of the sending may wait for a lock): when it answers true, the reading stops.
    std::optional<Ready> take(const QString& path, const std::function<bool()>& stopped = {});
    // Whether the file at path was sent ahead: stops the reading ahead of a file not yet
    // handed to its sending, and waits for the thread; what was read stays for take().
    bool sentAhead(const QString& path);
    // Stops the reading ahead and waits for its thread.
    void stop();
    // The rows the server accepted so far of the file sent ahead, until its turn takes it.
    qint64 rowsSentAhead() const {
        const SentAhead* sent = m_sentNow.load();
        return sent ? sent->rowsAccepted() : 0;
    }

private:
    void read();
    // Waits for the thread's end, asking stopped meanwhile.
    void await(const std::function<bool()>& stopped);

    Reading m_reading;
    QString m_path;
    Sending m_sending;
    std::shared_ptr<AheadGate> m_before; // the file before it
    std::shared_ptr<AheadGate> m_gate = std::make_shared<AheadGate>();
    std::optional<Ready> m_ready; // written by the thread, read once it was joined
    std::atomic<const SentAhead*> m_sentNow{nullptr}; // m_ready's, published by the thread
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex; // guards m_done
    std::condition_variable m_ended;
    bool m_done = false; // the thread's reading ended
    std::thread m_thread;
};
