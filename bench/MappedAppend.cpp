// Times the rows of one file appended into an existing table through the run's sender
// (makeRowSender, COPY where the table allows it), with the program's own functions against
// the private cluster (QUENMARL_TEST_HOST, _PORT, _USER, _PASSWORD):
//
//   quenmarl_bench_mapped DATABASE TABLE FILE MODE
//
// MODE says which columns the file's values go into:
//   position   the table's first columns, in table order
//   names      the columns named as the file's header names its fields, in the header's order
//   path       as names, and the column "src" receives the file's path in every row
// Prints "seconds S rows N sender copy|insert": the wall-clock time from the sender's choice
// to its last commit, and the rows it counted as accepted. Exits 1 when a line was rejected.

#include "database/Connection.h"
#include "database/ConnectionSettings.h"
#include "sending/RowSenderFactory.h"
#include "sending/copy/CopySender.h"
#include "textfile/InputFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QStringList modes = {QStringLiteral("position"), QStringLiteral("names"),
                               QStringLiteral("path")};
    if (arguments.size() != 5 || !modes.contains(arguments[4]) ||
        qEnvironmentVariableIsEmpty("QUENMARL_TEST_PORT")) {
        std::fprintf(stderr, "usage: quenmarl_bench_mapped DATABASE TABLE FILE "
                             "position|names|path\n"
                             "with QUENMARL_TEST_HOST, _PORT, _USER and _PASSWORD set\n");
        return 2;
    }
    const ConnectionSettings settings{qEnvironmentVariable("QUENMARL_TEST_HOST"),
                                      qEnvironmentVariable("QUENMARL_TEST_PORT"),
                                      qEnvironmentVariable("QUENMARL_TEST_USER"),
                                      qEnvironmentVariable("QUENMARL_TEST_PASSWORD"), arguments[1]};
    const QString path = arguments[3];
    const QString mode = arguments[4];
    try {
        Connection connection = Connection::open(settings);
        InputFile file(FieldRule::Plain, QStringLiteral(","));
        file.open(path, [] { return false; });
        file.readHeader();
        const QStringList header = file.header();
        SenderChoice choice{arguments[2], path, FieldRule::Plain, ",", false, {}};
        if (mode != QLatin1String("position"))
            choice.targets.fieldColumns = header;
        if (mode == QLatin1String("path")) {
            choice.targets.constantColumn = QStringLiteral("src");
            choice.targets.constantValue = path;
        }
        qint64 rejected = 0;
        QElapsedTimer clock;
        clock.start();
        RecordReader records = file.dataRecords();
        const std::unique_ptr<RowSender> sender = makeRowSender(
            connection, choice, header.size(), [&](const LineRejection&) { ++rejected; });
        Record record;
        while (records.next(record)) {
            if (record.fieldCount > 0)
                sender->send(record);
        }
        sender->finish();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const bool copy = sender->byCopy();
        std::printf("seconds %.3f rows %lld sender %s\n", seconds,
                    static_cast<long long>(sender->rowsAccepted()), copy ? "copy" : "insert");
        if (rejected > 0) {
            std::fprintf(stderr, "%lld lines were rejected\n", static_cast<long long>(rejected));
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
