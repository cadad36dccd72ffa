#pragma once

#include "import/DataLineLoop.h"
#include "parallel/Lane.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class InputFile;
class RunConnection;
struct ImportChoices;

// A file of the list sent whole over a connection of its own while an earlier file has its
// turn, when its turn would go exactly as a turn over one connection goes: the field-count
// check passed it, it is too short for ranges, and its table is decided without asking anyone.
//  - Create, names from the first line: the new table's name is not listed and is not the
//    name of any file before it, and the first line makes a table; the table is made here.
//  - Append: the table's columns take the file's fields by the plan, and the table takes
//    rows in any order (rangesTarget()), as two files go into it at once.
// Nothing is shown from here: the lane holds what it reports (LaneEvents) until the file's
// turn shows it (DataLineLoop) after every report of the files before it. Row by row, typed
// column names (they are asked) and files that go in ranges are never sent ahead.
class SentAhead {
public:
    struct Setup {
        const ImportChoices& choices;
        int position; // the file's, from 1
        int parts;    // the ranges it may go in (RangeChoice): more than one, it waits its turn
        QString path;
        QStringList namesBefore;        // tables listed, and the names of every file before it
        RunConnection& connection;      // kept by the run for files sent ahead
        std::function<bool()> stop;     // the run's stop, asked on any thread
        DataLineLoop::Steps createLoop; // the steps the lane's failures are reported at
        DataLineLoop::Steps appendLoop;
    };

    // Starts sending the checked file, or nothing when its turn must send it itself. Runs on
    // the thread that read the file ahead.
    static std::unique_ptr<SentAhead> start(const Setup& setup, InputFile& file);

    ~SentAhead();
    SentAhead(const SentAhead&) = delete;
    SentAhead& operator=(const SentAhead&) = delete;

    // Append: the table's columns as read when the file was sent ahead, which its turn plans
    // with in place of reading them again.
    const QStringList& tableColumns() const { return m_columns; }
    // The rows the server accepted so far, until the lane is taken.
    qint64 rowsAccepted() const { return m_lane ? m_lane->rowsAccepted() : 0; }
    // The lane, handed to the turn that shows what it reports; null once taken.
    std::unique_ptr<Lane> takeLane() { return std::move(m_lane); }
    const FileRange& range() const { return m_range; }

private:
    SentAhead() = default;

    QStringList m_columns;
    FileRange m_range;
    std::unique_ptr<Lane> m_lane;
};
