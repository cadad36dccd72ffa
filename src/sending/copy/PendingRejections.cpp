#include "sending/copy/PendingRejections.h"

#include <algorithm>
#include <iterator>

std::vector<PendingRejections::Entry> PendingRejections::takeBefore(qint64 boundary) {
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry& a, const Entry& b) { return a.index < b.index; });
    const auto settled =
        std::partition_point(m_entries.begin(), m_entries.end(),
                             [boundary](const Entry& entry) { return entry.index < boundary; });
    std::vector<Entry> taken(std::make_move_iterator(m_entries.begin()),
                             std::make_move_iterator(settled));
    m_entries.erase(m_entries.begin(), settled);
    return taken;
}

void PendingRejections::dropServerBefore(qint64 boundary) {
    std::erase_if(m_entries, [boundary](const Entry& entry) {
        return !entry.local && entry.index < boundary;
    });
}

qsizetype PendingRejections::dropLocalFrom(qint64 boundary) {
    return std::erase_if(m_entries, [boundary](const Entry& entry) {
        return entry.local && entry.index >= boundary;
    });
}

std::vector<PendingRejections::Entry> PendingRejections::before(qint64 boundary) const {
    std::vector<Entry> found;
    std::copy_if(m_entries.begin(), m_entries.end(), std::back_inserter(found),
                 [boundary](const Entry& entry) { return entry.index < boundary; });
    std::stable_sort(found.begin(), found.end(),
                     [](const Entry& a, const Entry& b) { return a.index < b.index; });
    return found;
}

std::vector<qint64> PendingRejections::withIndices(std::vector<qint64> indices) const {
    for (const Entry& entry : m_entries)
        indices.push_back(entry.index);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

qsizetype PendingRejections::fromServer() const {
    return std::count_if(m_entries.begin(), m_entries.end(),
                         [](const Entry& entry) { return !entry.local; });
}

qint64 PendingRejections::first() const {
    qint64 first = std::numeric_limits<qint64>::max();
    for (const Entry& entry : m_entries)
        first = std::min(first, entry.index);
    return first;
}
