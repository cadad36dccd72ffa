#pragma once

#include "database/ServerNotice.h"
#include "sending/LineRejection.h"

#include <QFile>
#include <QString>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// Something a lane reports to the run, which shows it once every earlier line's reports were
// shown: a rejection, a notice of the server, or a step that failed.
struct LaneEvent {
    enum class Kind { Rejected, Notice, Failed };
    Kind kind = Kind::Rejected;
    LineRejection rejection; // Rejected
    ServerNotice notice;     // Notice
    int step = 0;            // Failed: the step's number and the failure's description
    QString failure;
};

// The events of one lane, in the order the lane reported them, from the lane's thread to the
// run's. A lane never waits for the run to take them (it may hold a transaction that an
// earlier lane waits for): at most Held are kept in memory, the others in a temporary file of
// the program's own that has no name in any folder, read back in order.
class LaneEvents {
public:
    static constexpr qsizetype Held = 1024;

    LaneEvents() = default;
    LaneEvents(const LaneEvents&) = delete;
    LaneEvents& operator=(const LaneEvents&) = delete;

    void push(const LaneEvent& event);
    // The lane reports nothing more.
    void end();

    // Waits at most that long for events, or the end, and takes what there is, in order (at
    // most about Held at once). Empty with ended() true: everything was taken.
    std::deque<LaneEvent> take(int milliseconds);
    bool ended() const;

private:
    void spill(const LaneEvent& event);
    void readBack(std::deque<LaneEvent>& events);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<LaneEvent> m_events;
    std::unique_ptr<QFile> m_file;     // the events after those in memory, when there are more
    qint64 m_spilled = 0;              // events in the file not yet read back
    std::deque<LaneEvent> m_afterFile; // events that could not be written, after the file's
    qint64 m_readAt = 0;               // where the next of them begins
    bool m_ended = false;
};
