#include "parallel/LaneEvents.h"

#include "shell/Failure.h"
#include "shell/Platform.h"

#include <QDataStream>

namespace {

QDataStream& operator<<(QDataStream& out, const LaneEvent& event) {
    const LineRejection& r = event.rejection;
    const ServerNotice& n = event.notice;
    return out << static_cast<qint8>(event.kind) << r.line << r.description << r.sqlState
               << r.ofRecord << r.lines << n.text << n.sqlState << n.error << event.step
               << event.failure;
}

QDataStream& operator>>(QDataStream& in, LaneEvent& event) {
    qint8 kind = 0;
    LineRejection& r = event.rejection;
    ServerNotice& n = event.notice;
    in >> kind >> r.line >> r.description >> r.sqlState >> r.ofRecord >> r.lines >> n.text >>
        n.sqlState >> n.error >> event.step >> event.failure;
    event.kind = static_cast<LaneEvent::Kind>(kind);
    return in;
}

} // namespace

void LaneEvents::push(const LaneEvent& event) {
    {
        std::lock_guard lock(m_mutex);
        if (m_spilled > 0 || !m_afterFile.empty() || m_events.size() >= Held)
            spill(event);
        else
            m_events.push_back(event);
    }
    m_changed.notify_all();
}

void LaneEvents::end() {
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_changed.notify_all();
}

bool LaneEvents::ended() const {
    std::lock_guard lock(m_mutex);
    return m_ended && m_events.empty() && m_spilled == 0 && m_afterFile.empty();
}

std::deque<LaneEvent> LaneEvents::take(int milliseconds) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                       [this] { return m_ended || !m_events.empty() || m_spilled > 0; });
    std::deque<LaneEvent> taken = std::exchange(m_events, {});
    if (m_spilled > 0)
        readBack(taken);
    if (m_spilled == 0) {
        taken.insert(taken.end(), m_afterFile.begin(), m_afterFile.end());
        m_afterFile.clear();
    }
    return taken;
}

// Writes an event behind those in the file; the file is made at the first. An event that can't
// be written (no temporary file, a full disk) is kept in memory rather than lost, behind those
// in the file.
void LaneEvents::spill(const LaneEvent& event) {
    if (!m_afterFile.empty()) {
        m_afterFile.push_back(event);
        return;
    }
    try {
        if (!m_file) {
            m_file = std::make_unique<QFile>();
            const int descriptor = platform::anonymousTemporaryFile();
            if (!m_file->open(descriptor, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
                platform::closeDescriptor(descriptor);
                m_file.reset();
            }
        }
    } catch (const Failure&) {
        m_file.reset();
    }
    const qint64 size = m_file ? m_file->size() : 0;
    if (m_file && m_file->seek(size)) {
        QDataStream out(m_file.get());
        out << event;
        if (out.status() == QDataStream::Ok && m_file->flush()) {
            ++m_spilled;
            return;
        }
        m_file->resize(size);
    }
    (m_spilled > 0 ? m_afterFile : m_events).push_back(event);
}

// Reads back up to Held of the events in the file, in order; the file is emptied once they all
// were.
void LaneEvents::readBack(std::deque<LaneEvent>& events) {
    m_file->seek(m_readAt);
    QDataStream in(m_file.get());
    for (qsizetype k = 0; k < Held && m_spilled > 0; ++k, --m_spilled) {
        LaneEvent event;
        in >> event;
        events.push_back(std::move(event));
    }
    m_readAt = m_file->pos();
    if (m_spilled == 0) {
        m_file->resize(0);
        m_readAt = 0;
    }
}
