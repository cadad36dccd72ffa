#pragma once

#include "database/ConnectionSettings.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <thread>

// Everything an import run needs from its front end, copied once when the run starts. The
// front end keeps the controls these come from locked for the length of the run.
struct ImportChoices {
    enum class TableMode { None, Create, Append };     // Option1 / Option2
    enum class ColumnNames { None, FirstLine, Typed }; // Option3 / Option4

    QStringList files; // paths in list order; position k (from 1) is "[counter]"
    TableMode mode = TableMode::Create;
    ColumnNames names = ColumnNames::FirstLine;
    QString tableTemplate;      // e.g. "NewTable[counter]"
    QString separator;          // e.g. ","
    QStringList existingTables; // the list of existing tables, top first
    int selectedTable = -1;     // index into existingTables; -1 when none is selected
    ConnectionSettings connection;
    bool rowByRow = false; // one INSERT statement per line even where a faster path exists
    // Connections the run may use at once: a file of at least twice rangeBytes of records
    // goes in that many ranges side by side, each at least rangeBytes long, where the table
    // takes them. 1: every file over one connection.
    int jobs = 1;
    qint64 rangeBytes = qint64(4) << 20;
    // The shortest file that may go in ranges (it would, with its records all after its header).
    qint64 rangesFrom() const { return 2 * rangeBytes; }
    // How far apart the field-count check notes where records begin (where a range may end).
    qint64 recordStartSpacing() const { return std::max<qint64>(rangeBytes / 8, 1); }
    // The number of processor cores, at most 4: what the front ends take when not told.
    static int defaultJobs() {
        return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
    }
    static constexpr int MostJobs = 64;
    // The jobs a stored text names (a number from 1 to MostJobs), else defaultJobs().
    static int jobsFrom(const QString& text) {
        bool number = false;
        const int jobs = text.trimmed().toInt(&number);
        return number && jobs >= 1 && jobs <= MostJobs ? jobs : defaultJobs();
    }
    // Fields in double quotes are read as CSV reads them (a quoted separator, a doubled quote,
    // a line break inside quotes belong to the value). Off: every separator cuts and every
    // double quote is dropped.
    bool quotedFields = false;
    // Append mode: each file's first line is a header and no row. Off, it is sent as a data
    // line like the others; the field-count and the column-count checks measure it either way.
    // Create mode always takes the first line as a header (or passes it over for typed names).
    bool firstLineIsHeader = true;
    // Where the rejected lines of each file are written as its turn ends (RejectFolder); empty:
    // the run's report keeps them in temporary files. The folder exists when the run starts.
    QString rejectsFolder;
    // Append mode: each file's fields go to the table's columns that its first line names
    // (ColumnPlan), not by position.
    bool matchNames = false;
    // The column that receives each file's path in every row; empty: none. Append: a column of
    // the table; create: made as the last column of each new table, of type TEXT.
    QString fileColumn;

    // Create mode: each new table's columns get the types their values are written in over the
    // whole file (ColumnTypes), and an empty value in a column of another type than TEXT goes as
    // NULL. Off: every column is TEXT.
    bool detectTypes = false;
    bool detectsTypes() const { return detectTypes && mode == TableMode::Create; }

    // Whether each file's first line goes to the table as a row: a file matched by names
    // always has it for its header.
    bool sendsFirstLine() const {
        return mode == TableMode::Append && !firstLineIsHeader && !matchNames;
    }
};
