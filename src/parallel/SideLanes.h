#pragma once

#include "parallel/Lane.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class LanePool;

// The ranges of a file after the first, each sent by a Lane while the run's thread sends the
// first; their reports are shown, after every report of the first range, range by range in
// file order, so that the run shows what a run over one connection shows, in the same order.
class SideLanes {
public:
    // How the run shows what the lanes report, on its own thread.
    struct Replay {
        std::function<void(const LaneEvent&)> event;
        std::function<bool()> cancelled; // the user's stop, asked while the lanes are awaited
        // The rows the lanes committed so far, and the bound while a server is waited for.
        std::function<void(qint64 rows, int waitingSeconds)> progress;
    };

    SideLanes() = default;
    ~SideLanes();
    SideLanes(const SideLanes&) = delete;
    SideLanes& operator=(const SideLanes&) = delete;

    // A lane for each range over the connections given (as many as the ranges), all started.
    void start(const std::vector<RunConnection*>& connections, const Lane::Setup& common,
               const std::vector<FileRange>& ranges);
    // A lane started elsewhere, over a range from firstLine, with its own stop: shown as one
    // of these.
    void adopt(std::unique_ptr<Lane> lane, qint64 firstLine, std::function<void()> stop);
    bool empty() const { return m_lanes.empty(); }

    // Every lane takes no more records and commits what it sent. On the run's thread; the
    // lanes ask stopCheck() on theirs.
    void stop() {
        m_stop = true;
        if (m_stopAdopted)
            m_stopAdopted();
    }
    const std::function<bool()>& stopCheck() const { return m_stopCheck; }

    qint64 rowsAccepted() const;
    int waitingSeconds() const;

    // Shows every lane's reports in order as they come and waits for each lane's end, then the
    // lines of the file that were not sent, the first range's (firstNotSent) among them, as one
    // rejection (NotSentLines); the sum of the lanes' outcomes.
    Lane::Outcome finish(const Replay& replay,
                         const std::optional<ResumingSender::NotSent>& firstNotSent,
                         const QString& path);

private:
    void show(Lane& lane, const Replay& replay);

    std::vector<std::unique_ptr<Lane>> m_lanes;
    std::vector<qint64> m_firstLines; // of each lane's range
    std::atomic<bool> m_stop{false};
    std::function<void()> m_stopAdopted;
    std::function<bool()> m_stopCheck = [this] { return m_stop.load(); };
};
