#include "textfile/FileRange.h"

#include <algorithm>

std::vector<FileRange> divideRecords(RecordStart from, qint64 size,
                                     const std::vector<RecordStart>& starts, int parts,
                                     qint64 minimumBytes) {
    const qint64 length = size - from.offset;
    const qint64 most = minimumBytes > 0 ? length / minimumBytes : parts;
    parts = static_cast<int>(std::clamp<qint64>(most, 1, std::max(parts, 1)));
    std::vector<FileRange> ranges{{from.offset, -1, from.line}};
    auto next = starts.begin();
    for (int k = 1; k < parts; ++k) {
        // The first record start at or after the ideal cut, so that every range but the last
        // is at least as long as an even share.
        const qint64 ideal = from.offset + length * k / parts;
        next = std::find_if(next, starts.end(), [&](const RecordStart& start) {
            return start.offset >= ideal && start.offset > ranges.back().start;
        });
        if (next == starts.end() || next->offset >= size)
            break;
        ranges.back().end = next->offset;
        ranges.push_back({next->offset, -1, next->line});
    }
    return ranges;
}
