#pragma once

#include "database/ConnectionSettings.h"
#include "parallel/LaneEvents.h"
#include "resume/ResumingSender.h"
#include "sending/RowSenderFactory.h"
#include "textfile/FileRange.h"

#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

class InputFile;
class RunConnection;

// One range of a file's records sent on a thread of its own over a connection of its own, as
// the run's thread sends the first range: empty records and those of fewer than two fields
// passed over, the others handed to a ResumingSender (which goes on over a new connection when
// this one breaks). What the run must show goes to events() in order: rejections, the server's
// notices, the steps that failed. The range is read from the file's snapshot by a reader of
// its own.
class Lane {
public:
    struct Setup {
        RunConnection& connection; // begun for the file's turn
        ConnectionSettings settings;
        InputFile& file;
        FileRange range;
        SenderChoice choice;        // its markers and its stop are the lane's own
        std::function<bool()> stop; // asked on the lane's thread
        int nextStep;               // the steps that read a record and send it, named by the
        int executeStep;            // failures they report
    };

    struct Outcome {
        qint64 rowsSent = 0;
        qint64 withoutSeparator = 0; // non-empty records of fewer than two fields
        qint64 handedOver = 0;       // records given to the sender
        bool allSent = true;         // read to its end, and every record handed over was sent
        bool cancelled = false;      // the stop was taken
        std::optional<ResumingSender::NotSent> notSent; // reported by the caller (NotSentLines)
    };

    explicit Lane(Setup setup);
    ~Lane();
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;

    void start();
    // Waits for the lane's end; outcome() is then final.
    void join();

    LaneEvents& events() { return m_events; }
    qint64 rowsAccepted() const { return m_rows.load(); }
    // While the lane's server is waited for, the bound in seconds; 0 otherwise.
    int waitingSeconds() const { return m_waiting.load(); }
    const Outcome& outcome() const { return m_outcome; }

private:
    void run();
    void sendRange(class ResumingSender& sender);
    void failed(int step);

    Setup m_setup;
    LaneEvents m_events;
    Outcome m_outcome;
    std::atomic<qint64> m_rows{0};
    std::atomic<int> m_waiting{0};
    std::thread m_thread;
};
