#pragma once

#include "database/ConnectionSettings.h"
#include "parallel/OpenedAhead.h"
#include "resume/RunConnection.h"

#include <functional>
#include <memory>
#include <vector>

// The connections of the lanes beyond the first (Lane), kept from one file's turn to the next
// as the run keeps its own (RunConnection): a connection is opened when a file first needs it
// and reused, reset, by the next file that does. Used from the run's thread.
class LanePool {
public:
    // Begins opening count connections on threads of their own, for the first begin() to take
    // (OpenedAhead): where a file will go in ranges, its lanes then start without logging in.
    void openAhead(const ConnectionSettings& settings, int count) {
        m_ahead->start(settings, count);
    }
    // Takes an opening begun before the run (openLanesEarly()) as its own openAhead().
    void adoptOpening(std::unique_ptr<OpenedAhead> opening) {
        if (opening)
            m_ahead = std::move(opening);
    }
    // Up to count connections begun for a file's turn, each asking stop while a statement
    // waits. A connection that can't be opened is left out: the file then goes over fewer.
    std::vector<RunConnection*> begin(const ConnectionSettings& settings, int count,
                                      const std::function<bool()>& stop);
    // The file's turn is over; the connections stay for the next file.
    void end();
    // Closes every connection (at the run's end) together with the others (closeTogether()).
    void close(std::vector<RunConnection*> others = {});

private:
    void adoptOpenedAhead(const ConnectionSettings& settings);

    std::unique_ptr<OpenedAhead> m_ahead = std::make_unique<OpenedAhead>();
    std::vector<std::unique_ptr<RunConnection>> m_connections;
    qsizetype m_inTurn = 0;
};
