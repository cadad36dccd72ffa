#include "import/RangeChoice.h"

#include <QFileInfo>

#include <algorithm>

namespace {

std::vector<qint64> sizesOf(const QStringList& files) {
    std::vector<qint64> sizes;
    sizes.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& path : files)
        sizes.push_back(QFileInfo(path).size());
    return sizes;
}

} // namespace

RangeChoice::RangeChoice(const QStringList& files, int jobs)
    : RangeChoice(sizesOf(files), jobs) {}

RangeChoice::RangeChoice(std::vector<qint64> sizes, int jobs)
    : m_sizes(std::move(sizes))
    , m_jobs(std::max(jobs, 1)) {}

int RangeChoice::partsAt(int position) const {
    const int count = static_cast<int>(m_sizes.size());
    if (m_jobs < 2 || position < 1 || position > count)
        return 1;
    const int from = std::max(position - m_jobs + 1, 1);
    const int to = std::min(position + m_jobs - 1, count);
    qint64 beside = 0;
    for (int k = from; k <= to; ++k)
        if (k != position)
            beside += m_sizes[static_cast<std::size_t>(k - 1)];
    return m_sizes[static_cast<std::size_t>(position - 1)] > beside ? m_jobs : 1;
}

bool RangeChoice::anyInRangesFrom(qint64 bytes) const {
    for (int k = 1; k <= static_cast<int>(m_sizes.size()); ++k)
        if (m_sizes[static_cast<std::size_t>(k - 1)] >= bytes && partsAt(k) > 1)
            return true;
    return false;
}
