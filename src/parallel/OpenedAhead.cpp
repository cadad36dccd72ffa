#include "parallel/OpenedAhead.h"

#include <algorithm>

void OpenedAhead::start(const ConnectionSettings& settings, int count) {
    take();
    m_settings = settings;
    m_opened.resize(static_cast<std::size_t>(std::max(count, 0)));
    for (std::optional<Connection>& slot : m_opened) {
        m_threads.emplace_back([&slot, settings] {
            try {
                slot.emplace(Connection::open(settings));
            } catch (...) {
                // Opened again when needed, where a failure is handled as always.
            }
        });
    }
}

std::vector<Connection> OpenedAhead::take() {
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    std::vector<Connection> opened;
    for (std::optional<Connection>& slot : m_opened) {
        if (slot)
            opened.push_back(std::move(*slot));
    }
    m_opened.clear();
    return opened;
}
