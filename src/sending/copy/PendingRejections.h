#pragma once

#include <QString>
#include <limits>
#include <vector>

// Rejections of lines whose chunk is not yet settled, kept until it is and then handed out in
// line order: the server's (from a COPY or a row statement) and those made here without
// sending the line (local).
class PendingRejections {
public:
    struct Entry {
        qint64 index = 0; // the line's index in the file
        QString description;
        bool local = false;
        QString sqlState; // the server's; empty for a local rejection
    };

    void add(qint64 index, QString description, bool local, QString sqlState = {}) {
        m_entries.push_back({index, std::move(description), local, std::move(sqlState)});
    }
    // Takes out the rejections of lines before the boundary, in line order.
    std::vector<Entry> takeBefore(qint64 boundary);
    // The server's rejections of lines before the boundary are void (the lines are sent again).
    void dropServerBefore(qint64 boundary);
    // The local rejections of lines from the boundary on are void (the lines are forgotten);
    // how many there were.
    qsizetype dropLocalFrom(qint64 boundary);
    void clear() { m_entries.clear(); }

    qsizetype fromServer() const;
    // The line indices given (in line order) and those of the rejections held, in line order,
    // each once.
    std::vector<qint64> withIndices(std::vector<qint64> indices) const;
    // The rejections of lines before the boundary, in line order, left in place.
    std::vector<Entry> before(qint64 boundary) const;
    // The smallest line index held, the largest qint64 when none.
    qint64 first() const;

private:
    std::vector<Entry> m_entries;
};
