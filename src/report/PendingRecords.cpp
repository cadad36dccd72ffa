#include "report/PendingRecords.h"

#include "shell/Failure.h"
#include "shell/TemporaryFile.h"

PendingRecords::PendingRecords() = default;
PendingRecords::~PendingRecords() = default;

void PendingRecords::add(const Entry& entry) {
    if (!m_file) {
        m_file = temporaryFile();
        m_stream.setDevice(m_file.get());
    }
    m_stream << entry.line << entry.sqlState << entry.what;
    if (m_stream.status() != QDataStream::Ok)
        throw Failure(
            QStringLiteral("Could not write a temporary file: %1").arg(m_file->errorString()));
    ++m_count;
}

void PendingRecords::rewind() {
    m_read = 0;
    if (!m_file)
        return;
    if (!m_file->seek(0))
        throw Failure(
            QStringLiteral("Could not read a temporary file: %1").arg(m_file->errorString()));
    m_stream.resetStatus();
}

bool PendingRecords::next(Entry& entry) {
    if (m_read >= m_count)
        return false;
    m_stream >> entry.line >> entry.sqlState >> entry.what;
    if (m_stream.status() != QDataStream::Ok)
        throw Failure(
            QStringLiteral("Could not read a temporary file: %1").arg(m_file->errorString()));
    ++m_read;
    return true;
}

void PendingRecords::clear() {
    m_stream.setDevice(nullptr);
    m_file.reset();
    m_count = 0;
    m_read = 0;
}
