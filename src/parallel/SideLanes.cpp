#include "parallel/SideLanes.h"

#include "parallel/NotSentLines.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

// How long the run waits for a lane's reports before it asks for a stop and shows progress.
constexpr int PollMs = 100;
constexpr qint64 ProgressMs = 200;

} // namespace

SideLanes::~SideLanes() {
    stop();
    m_lanes.clear(); // each joins its thread
}

void SideLanes::start(const std::vector<RunConnection*>& connections, const Lane::Setup& common,
                      const std::vector<FileRange>& ranges) {
    for (std::size_t k = 0; k < ranges.size() && k < connections.size(); ++k) {
        Lane::Setup setup{*connections[k], common.settings, common.file,     ranges[k],
                          common.choice,   m_stopCheck,     common.nextStep, common.executeStep};
        m_lanes.push_back(std::make_unique<Lane>(std::move(setup)));
        m_firstLines.push_back(ranges[k].firstLine);
    }
    for (const std::unique_ptr<Lane>& lane : m_lanes)
        lane->start();
}

void SideLanes::adopt(std::unique_ptr<Lane> lane, qint64 firstLine, std::function<void()> stop) {
    m_lanes.push_back(std::move(lane));
    m_firstLines.push_back(firstLine);
    m_stopAdopted = std::move(stop);
}

qint64 SideLanes::rowsAccepted() const {
    qint64 rows = 0;
    for (const std::unique_ptr<Lane>& lane : m_lanes)
        rows += lane->rowsAccepted();
    return rows;
}

int SideLanes::waitingSeconds() const {
    int seconds = 0;
    for (const std::unique_ptr<Lane>& lane : m_lanes)
        seconds = std::max(seconds, lane->waitingSeconds());
    return seconds;
}

Lane::Outcome SideLanes::finish(const Replay& replay,
                                const std::optional<ResumingSender::NotSent>& firstNotSent,
                                const QString& path) {
    Lane::Outcome sum;
    NotSentLines notSent;
    if (firstNotSent)
        notSent.add(*firstNotSent, m_firstLines.empty() ? -1 : m_firstLines.front());
    for (std::size_t k = 0; k < m_lanes.size(); ++k) {
        Lane& lane = *m_lanes[k];
        show(lane, replay);
        lane.join();
        const Lane::Outcome& one = lane.outcome();
        sum.rowsSent += one.rowsSent;
        sum.withoutSeparator += one.withoutSeparator;
        sum.handedOver += one.handedOver;
        sum.allSent = sum.allSent && one.allSent;
        sum.cancelled = sum.cancelled || one.cancelled;
        if (one.notSent)
            notSent.add(*one.notSent, k + 1 < m_firstLines.size() ? m_firstLines[k + 1] : -1);
    }
    m_stopAdopted = nullptr; // every lane ended: its stop belongs to no lane now
    if (const std::optional<LineRejection> rejection = notSent.rejection(path)) {
        LaneEvent event;
        event.rejection = *rejection;
        replay.event(event);
    }
    return sum;
}

// The lane's reports until its last, with the stop and the progress looked after meanwhile.
void SideLanes::show(Lane& lane, const Replay& replay) {
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (!lane.events().ended()) {
        for (const LaneEvent& event : lane.events().take(PollMs))
            replay.event(event);
        if (!m_stop && replay.cancelled())
            stop();
        if (sinceProgress.elapsed() >= ProgressMs) {
            replay.progress(rowsAccepted(), waitingSeconds());
            sinceProgress.restart();
        }
    }
}
