#pragma once

#include "database/Connection.h"
#include "database/ConnectionSettings.h"

#include <optional>
#include <thread>
#include <vector>

// Connections opened on threads of their own while the run does other work (reads the first
// big file's field counts), so that the ranges sent side by side start together instead of
// each waiting for its login. A connection that can't be opened is simply not there.
class OpenedAhead {
public:
    OpenedAhead() = default;
    OpenedAhead(const OpenedAhead&) = delete;
    OpenedAhead& operator=(const OpenedAhead&) = delete;
    ~OpenedAhead() { take(); }

    // Begins opening count connections with these settings, each on a thread.
    void start(const ConnectionSettings& settings, int count);
    // Waits for the openings begun and hands over the connections that opened.
    std::vector<Connection> take();
    const ConnectionSettings& settings() const { return m_settings; }

private:
    ConnectionSettings m_settings;
    std::vector<std::optional<Connection>> m_opened;
    std::vector<std::thread> m_threads;
};
