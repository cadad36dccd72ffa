#include "import/FileReadAhead.h"

#include <QFileInfo>

#include <chrono>

FileReadAhead::Reading FileReadAhead::Reading::of(const ImportChoices& choices, bool turn) {
    const bool several = choices.jobs > 1;
    return {choices.quotedFields ? FieldRule::Quoted : FieldRule::Plain, choices.separator,
            several ? choices.recordStartSpacing() : 0, choices.detectsTypes(),
            several && turn ? choices.rangesFrom() : 0};
}

std::unique_ptr<InputFile> FileReadAhead::Reading::inputFile() const {
    auto file = std::make_unique<InputFile>(rule, separator, detectTypes);
    file->noteRecordStartsEvery(startSpacing);
    file->checkInHalvesFrom(halvesFrom);
    return file;
}

void FileReadAhead::start(const QString& path, Sending sending, std::shared_ptr<AheadGate> before) {
    stop();
    m_path = path;
    m_sending = std::move(sending);
    m_before = std::move(before);
    m_ready.reset();
    m_stop = false;
    m_done = false;
    m_thread = std::thread([this] {
        read();
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        m_ended.notify_all();
    });
}

void FileReadAhead::await(const std::function<bool()>& stopped) {
    if (!m_thread.joinable())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_ended.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_done; }))
        if (stopped && stopped())
            m_stop = true;
    lock.unlock();
    m_thread.join();
}

std::optional<FileReadAhead::Ready> FileReadAhead::take(const QString& path,
                                                        const std::function<bool()>& stopped) {
    if (m_path.isEmpty() || path != m_path)
        return std::nullopt;
    await(stopped);
    m_path.clear();
    m_sentNow = nullptr;
    return std::exchange(m_ready, std::nullopt);
}

bool FileReadAhead::sentAhead(const QString& path) {
    if (m_path.isEmpty() || path != m_path)
        return false;
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_ready && m_ready->sent;
}

void FileReadAhead::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_sentNow = nullptr;
    m_ready.reset();
}

// The turn's own reading up to the check's end, the failures left for the turn to meet again
// and tell; a file without columns, or too wide for the check, is left to the turn as well.
void FileReadAhead::read() {
    if (!QFileInfo(m_path).isFile())
        return;
    try {
        const auto stopped = [this] { return m_stop.load(); };
        std::unique_ptr<InputFile> file = m_reading.inputFile();
        if (!file->open(m_path, stopped))
            return;
        file->readHeader();
        if (file->noLines() || file->firstLineEmpty())
            return;
        file->checkWidth();
        InputFile::Checked checked = file->check(stopped, stopped);
        if (checked.cancelled)
            return;
        const bool passed = !checked.report && checked.damage.isEmpty();
        m_ready = Ready{std::move(file), std::move(checked), nullptr};
        if (passed && m_sending && !m_stop && (!m_before || m_before->await(stopped))) {
            m_ready->sent = m_sending(*m_ready->file);
            m_sentNow = m_ready->sent.get();
            if (m_ready->sent)
                m_gate->open();
        }
    } catch (...) {
    }
}
