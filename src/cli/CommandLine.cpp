#include "cli/CommandLine.h"

#include "shell/Platform.h"
#include "shell/SeparatorText.h"

namespace {

CommandLine bad(const QString& problem) {
    CommandLine line;
    line.action = CommandLine::Action::BadUsage;
    line.problem = problem;
    return line;
}

// The field that an option without a value sets, or null for any other name.
bool* switchOf(CommandLine& line, const QString& name) {
    if (name == QLatin1String("row-by-row"))
        return &line.rowByRow;
    if (name == QLatin1String("quoted"))
        return &line.quotedFields;
    if (name == QLatin1String("no-header"))
        return &line.noHeader;
    if (name == QLatin1String("full-messages"))
        return &line.fullMessages;
    if (name == QLatin1String("quiet"))
        return &line.quiet;
    if (name == QLatin1String("match-names"))
        return &line.matchNames;
    if (name == QLatin1String("detect-types"))
        return &line.detectTypes;
    return nullptr;
}

bool takesValue(const QString& name) {
    static const QStringList names{"server",       "port",    "user",        "password",
                                   "database",     "create",  "append",      "separator",
                                   "column-names", "rejects", "file-column", "jobs"};
    return names.contains(name);
}

QString setJobs(CommandLine& line, const QString& value) {
    bool number = false;
    const int jobs = value.toInt(&number);
    if (!number || jobs < 1 || jobs > CommandLine::MostJobs)
        return QStringLiteral("--jobs needs a number from 1 to %1").arg(CommandLine::MostJobs);
    line.jobs = jobs;
    return QString();
}

// Sets the value of an option that takes one; returns why the value is bad, or the empty text.
QString setValue(CommandLine& line, const QString& name, const QString& value) {
    std::optional<QString>* target = nullptr;
    if (name == QLatin1String("server"))
        target = &line.server;
    else if (name == QLatin1String("port"))
        target = &line.port;
    else if (name == QLatin1String("user"))
        target = &line.user;
    else if (name == QLatin1String("password"))
        target = &line.password;
    else if (name == QLatin1String("database"))
        target = &line.database;
    else if (name == QLatin1String("create"))
        target = &line.createTemplate;
    else if (name == QLatin1String("append"))
        target = &line.appendTable;
    else if (name == QLatin1String("rejects"))
        target = &line.rejectsFolder;
    else if (name == QLatin1String("file-column"))
        target = &line.fileColumn;
    if (target == &line.rejectsFolder && value.isEmpty())
        return QStringLiteral("--rejects needs a folder");
    if (target == &line.fileColumn && value.isEmpty())
        return QStringLiteral("--file-column needs a column name");
    if (target)
        *target = value;
    else if (name == QLatin1String("jobs"))
        return setJobs(line, value);
    else if (name == QLatin1String("column-names"))
        line.columnNames = value.split(QLatin1Char(','), Qt::KeepEmptyParts);
    else if (value.isEmpty()) // no line could be cut by an empty separator
        return QStringLiteral("--separator must not be empty");
    else
        line.separator = separatorFromTyped(value); // "\t" for a Tab, as in the main window
    return QString();
}

// The options that go together, once every argument is read.
CommandLine checked(CommandLine line) {
    if (line.createTemplate && line.appendTable)
        return bad(QStringLiteral("--create and --append exclude each other"));
    if (!line.createTemplate && !line.appendTable)
        return bad(QStringLiteral("either --create TEMPLATE or --append TABLE is needed"));
    if (line.columnNames && !line.createTemplate)
        return bad(QStringLiteral("--column-names goes with --create"));
    if (line.detectTypes && !line.createTemplate)
        return bad(QStringLiteral("--detect-types goes with --create"));
    // A new table's columns are named by the first line, or it is passed over for typed names.
    if (line.noHeader && !line.appendTable)
        return bad(QStringLiteral("--no-header goes with --append"));
    // Fields are matched by the names of the first line, which a headerless file lacks.
    if (line.matchNames && (!line.appendTable || line.noHeader))
        return bad(QStringLiteral("--match-names goes with --append and a header line"));
    line.action = CommandLine::Action::Import;
    return line;
}

} // namespace

ConnectionSettings CommandLine::connection(const ConnectionSettings& stored) const {
    ConnectionSettings settings = stored;
    settings.server = server.value_or(stored.server);
    settings.port = port.value_or(stored.port);
    settings.user = user.value_or(stored.user);
    settings.password = password.value_or(stored.password);
    settings.database = database.value_or(stored.database);
    return settings;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1String("--"))) {
            line.files.append(argument == QLatin1String("-") ? platform::standardInputPath()
                                                             : argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = argument.mid(2);
        std::optional<QString> inlineValue;
        if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
            inlineValue = name.mid(equals + 1);
            name = name.left(equals);
        }
        const bool help = name == QLatin1String("help");
        if (help || name == QLatin1String("version") || switchOf(line, name)) {
            if (inlineValue)
                return bad(QStringLiteral("--%1 takes no value").arg(name));
            if (!switchOf(line, name)) { // answered at once, as the first of them asks
                line.action = help ? CommandLine::Action::Help : CommandLine::Action::Version;
                return line;
            }
            *switchOf(line, name) = true;
            continue;
        }
        if (!takesValue(name))
            return bad(QStringLiteral("unknown option %1").arg(argument));
        if (!inlineValue && i + 1 >= arguments.size())
            return bad(QStringLiteral("--%1 needs a value").arg(name));
        const QString problem = setValue(line, name, inlineValue ? *inlineValue : arguments[++i]);
        if (!problem.isEmpty())
            return bad(problem);
    }
    return checked(line);
}

namespace {

// The text of --help, as it prints. The manual page (packaging/quenmarl-cli.1) says the same.
constexpr char UsageText[] =
    R"usage(Usage: quenmarl-cli [--server S] [--port P] [--user U] [--password W] [--database D]
                    [--separator TEXT] [--quoted] [--row-by-row] [--jobs N]
                    [--full-messages] [--rejects DIR] [--quiet] [--file-column NAME]
                    (--create TEMPLATE [--column-names N1,N2,...] [--detect-types] |
                     --append TABLE [--no-header | --match-names])
                    FILE...

Loads delimited text files into PostgreSQL, in the order given.

  --create TEMPLATE   one new table per file, all columns TEXT (see --detect-types);
                      "[counter]" in the template becomes the file's position
                      (1, 2, ...). Column names come from each file's first line:
                      each field's ASCII letters and digits. A file whose first line
                      has a field that gives no name, or two fields that give the
                      same name, is passed over.
  --column-names N1,N2,...
                      with --create: the column names to use instead of the first
                      line, the same for every file; an empty name ends the list,
                      and a file with more fields than names is skipped.
  --detect-types      with --create: each column gets the type that every value of it,
                      over the whole file, is written in: BOOLEAN (t, f, true, false),
                      INTEGER, BIGINT, NUMERIC (digits, a point; no leading zero, +,
                      exponent or thousands separator), DATE (YYYY-MM-DD), TIMESTAMP
                      (a date, a space or T, HH:MM[:SS[.ffffff]]), TIMESTAMPTZ (a
                      timestamp and Z or +HH[:MM]); otherwise TEXT. An empty value
                      in a typed column goes as NULL.
  --append TABLE      every file into this existing table; each file's first line
                      is a header, not a row, and must have as many fields as the
                      table has columns. TABLE is named as SQL names it, schema
                      included (orders, sales.orders, '"Odd Schema"."Odd Table"'),
                      or as the window program's list of tables shows it.
  --no-header         with --append: each file's first line is a row like the
                      others, for files without a header line. It still sets the
                      number of fields that every line and the table must have.
  --match-names       with --append: each field goes to the table's column that the
                      first line names, in any order: the same name, else the same
                      letters and digits whatever their case ("First Name" finds
                      FirstName). Columns a file lacks get their default. A file with
                      a field that names no column, or several, is passed over.
  --file-column NAME  the column NAME receives, in every row, the path of the file
                      the row came from, as given. With --append the table must
                      have it; with --create it is added last to each new table,
                      of type TEXT.
  --separator TEXT    the field separator, matched exactly (default ","); not empty.
                      Every \t in it stands for a Tab: --separator '\t' for
                      tab-separated files.
  --quoted            read fields in double quotes as CSV does: a separator or a line
                      break inside the quotes belongs to the value, "" stands for
                      one quote, and a quoted empty field is the empty text, not NULL.
                      Without it every separator cuts and every quote is dropped.
  --row-by-row        one INSERT statement per line, each its own transaction, even
                      where a faster path exists.
  --jobs N            at most N connections at once (default: the processor cores,
                      at most 4). A file of 8 MiB of lines or more goes in ranges
                      side by side where COPY takes its lines and the table has no
                      unique index; rows and messages are those of --jobs 1, except
                      what a stop or a server gone for good leaves in each range.
  --full-messages     errors, the field-count report and the closing message in the
                      words of the window program, as earlier versions printed
                      them: each error's whole "Application Error" text after a
                      line "PATH:LINE:" or "PATH:", the report as "PATH:" and
                      "Line no N: RECORD" (N counted from 0), and "Done." or
                      "Table(s) already exist." whatever failed.
  --rejects DIR       for each file with rejected rows, write DIR/NAME.rejected: the
                      file's header line (none with --no-header), then exactly its
                      rejected lines, byte for byte as they stand in the file,
                      ready to be fixed and loaded again; and
                      DIR/NAME.rejected.csv: "line,SQLSTATE,message" and a row
                      for each. DIR is made when missing; an existing file is
                      never written over (NAME.2.rejected, ... instead).
  --quiet             no summary line on standard error after the run.
  --server, --port, --user, --password, --database
                      connection values for this run only; those not given come
                      from the program's settings. Nothing is written back.
                      --password can be seen by other users while the run lasts.
  --help              this text.
  --version           the program's name and version.

Without --password, the password is PGPASSWORD when it is set; otherwise the stored
one, when the run goes to the stored server, port and user and the settings file is
private to its owner; otherwise libpq's password file (PGPASSFILE or ~/.pgpass).

FILE may be a named pipe or a process substitution, and "-" reads standard input;
such input is read to its end into a temporary file first.

A file's first line is imported as a row only with --no-header. Messages and the
closing line go to standard output. Errors, the field-count report and the files
passed over go to standard error, a line each, the lines of a file counted from 1:
  PATH:LINE: ERROR:  ...     a rejected row, with the server's message; its DETAIL
                             follows as a second line "PATH:LINE: DETAIL:  ..."
  PATH: ...                  a failure of a file as a whole (its connection, its
                             table), in the same way
  quenmarl-cli: ...          a failure outside any file
  PATH:LINE: RECORD          the record whose number of fields differs from the
                             first line's; it ends the run
  PATH: passed over: REASON  a file, or some of its lines, passed over
Control characters from the files are shown as ^[ and the like. When standard error
is a terminal, it also shows the progress: the file (k of n), the rows sent and the
rows per second, on one line.
The server's notices go to standard error after the file they came with
("PATH: NOTICE:  ..."), except those that announce the end of the connection.

The run closes with "Done." when nothing was rejected, reported or passed over;
otherwise with "Import incomplete. F of N file(s) and R row(s) were imported; E
error(s) were reported and P file(s) were passed over." and, unless --quiet, one
summary line on standard error: "quenmarl-cli: F of N file(s) imported, R row(s)
in, J line(s) rejected, S line(s) not sent, P file(s) and L line(s) passed over,
in T s." (also when such a run is stopped).

Ctrl+C (SIGINT), SIGTERM (as timeout, systemd and cron stop a job) and SIGHUP stop
the run after the rows in flight: every row sent so far stays committed, none is
half-written, and "Import stopped. F file(s) and R row(s) were imported." is
printed. A second of these signals ends the program at once; the server then rolls
back the rows in flight.

Exit status:
  0    every data line of every file is in the database
  1    an error was reported (for instance a rejected row, or a rejected CREATE
       TABLE, whose file is then skipped); the run went on
  2    bad usage, or a failed start (no connection to the server, no files, no
       table, table name exists)
  3    a line with another number of fields than the first line ended the run
  4    nothing was rejected, but files or lines were passed over (a file that
       could not be opened or read, an empty file or first line, a first line
       that can't name the columns, a table name already listed, a column-count
       mismatch, missing column names, an empty template, no line holding the
       separator)
  129  SIGHUP stopped the run
  130  Ctrl+C (SIGINT) stopped the run
  143  SIGTERM stopped the run
)usage";

} // namespace

QString usageText() {
    return QString::fromLatin1(UsageText);
}
