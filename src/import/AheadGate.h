#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Opened once the files read ahead after a file may be sent: the file went over a connection of
// its own, or its turn came and takes one connection (not its ranges). A file read ahead waits
// at the gate of the file before it, so that no more files are sent at once than the run has
// connections, and a file sent ahead never follows one that is not (a stop lets each file sent
// ahead have its turn, in list order). Shared by the run's thread and the reading threads.
class AheadGate {
public:
    void open() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_opened.notify_all();
    }
    // Waits until the gate opens: true; false when stopped() answered true first.
    bool await(const std::function<bool()>& stopped) {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_opened.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_open; }))
            if (stopped())
                return false;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};
