#include "parallel/LanePool.h"

#include "database/DatabaseError.h"

std::vector<RunConnection*> LanePool::begin(const ConnectionSettings& settings, int count,
                                            const std::function<bool()>& stop) {
    std::vector<RunConnection*> begun;
    adoptOpenedAhead(settings);
    while (m_connections.size() < static_cast<std::size_t>(count))
        m_connections.push_back(std::make_unique<RunConnection>());
    for (int k = 0; k < count; ++k) {
        RunConnection& connection = *m_connections[static_cast<std::size_t>(k)];
        try {
            connection.begin(settings).setStopCheck(stop);
            begun.push_back(&connection);
        } catch (const DatabaseError&) {
            // Left out for this file; the next one tries again.
        }
    }
    m_inTurn = count;
    return begun;
}

// Connections opened ahead with these settings go where none is kept yet; others are closed.
void LanePool::adoptOpenedAhead(const ConnectionSettings& settings) {
    const bool same = m_ahead->settings() == settings;
    for (Connection& opened : m_ahead->take()) {
        if (!same)
            continue;
        m_connections.push_back(std::make_unique<RunConnection>());
        m_connections.back()->adopt(std::move(opened), settings);
    }
}

void LanePool::end() {
    for (qsizetype k = 0; k < m_inTurn; ++k) {
        RunConnection& connection = *m_connections[static_cast<std::size_t>(k)];
        // The stop belonged to the file's lanes, which are gone.
        if (Connection* open = connection.current())
            open->setStopCheck({});
        connection.end();
    }
    m_inTurn = 0;
}

void LanePool::close(std::vector<RunConnection*> others) {
    m_ahead->take(); // closed unused
    end();
    for (const std::unique_ptr<RunConnection>& connection : m_connections)
        others.push_back(connection.get());
    closeTogether(others);
    m_connections.clear();
}
