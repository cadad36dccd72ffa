// Times, one by one, the steps an import run takes for each file, with the program's own
// functions against the private cluster (QUENMARL_TEST_HOST, _PORT, _USER, _PASSWORD), so that
// the cost a file adds beyond its rows can be split into its parts:
//
//   quenmarl_bench_file_steps DATABASE TABLE FILE COUNT
//
// TABLE is an existing table with as many columns as FILE has fields; FILE is a small data
// file as the run would import it. Each of COUNT rounds goes through a file's turn in the
// run's order, on one connection handed on from round to round as the run hands it on from
// file to file, each part timed on its own:
//   connection       the file's connection (RunConnection::begin): the first round opens it,
//                    every later one checks and resets the kept one
//   file side        opening the file, its first line and the field-count check (the file is
//                    read twice in all, as by the run)
//   column count     append mode's SELECT * FROM TABLE LIMIT 0
//   COPY decision    the catalogue queries that decide COPY (copyColumnList)
//   rows             the data lines read, cut and sent through CopySender (whose own COPY
//                    decision is then a repeat), committed
//   create table     the CREATE TABLE of create mode (a table of its own per round, dropped
//                    after the rounds, untimed), on the same connection
// and, for reference, outside the turn:
//   fresh connect    opening and closing a new connection, as every turn did before
//   create nosync    the CREATE TABLE of another table with synchronous_commit off for it:
//                    the difference to create table is the wait for its commit's WAL flush
// Prints one line per part: "step NAME median MS mean MS" over the rounds.

#include "database/Connection.h"
#include "database/ConnectionSettings.h"
#include "resume/RunConnection.h"
#include "sending/RowSenderFactory.h"
#include "sending/Statements.h"
#include "sending/copy/CopySender.h"
#include "sending/copy/CopyTarget.h"
#include "shell/Failure.h"
#include "textfile/FieldCountCheck.h"
#include "textfile/InputFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <numeric>
#include <vector>

namespace {

class StepTimes {
public:
    template <class Work> void time(const char* name, Work&& work) {
        QElapsedTimer clock;
        clock.start();
        work();
        m_times[name].push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (std::find(m_order.begin(), m_order.end(), name) == m_order.end())
            m_order.push_back(name);
    }

    void print() {
        for (const char* name : m_order) {
            std::vector<double>& times = m_times[name];
            std::sort(times.begin(), times.end());
            const double median = times[times.size() / 2];
            const double mean = std::accumulate(times.begin(), times.end(), 0.0) /
                                static_cast<double>(times.size());
            std::printf("step %s median %.3f mean %.3f\n", name, median, mean);
        }
    }

private:
    std::vector<const char*> m_order;
    std::map<const char*, std::vector<double>> m_times;
};

ConnectionSettings settingsFor(const QString& database) {
    return {qEnvironmentVariable("QUENMARL_TEST_HOST"), qEnvironmentVariable("QUENMARL_TEST_PORT"),
            qEnvironmentVariable("QUENMARL_TEST_USER"),
            qEnvironmentVariable("QUENMARL_TEST_PASSWORD"), database};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 5 || qEnvironmentVariableIsEmpty("QUENMARL_TEST_PORT")) {
        std::fprintf(stderr, "usage: quenmarl_bench_file_steps DATABASE TABLE FILE COUNT\n"
                             "with QUENMARL_TEST_HOST, _PORT, _USER and _PASSWORD set\n");
        return 2;
    }
    const ConnectionSettings connectionSettings = settingsFor(arguments[1]);
    const QString table = arguments[2];
    const QString path = arguments[3];
    const int count = arguments[4].toInt();
    const QString separator = QStringLiteral(",");
    const QByteArray separatorUtf8 = separator.toUtf8();

    try {
        StepTimes steps;
        qint64 rejected = 0;
        QStringList created;
        RunConnection run;
        for (int round = 1; round <= count; ++round) {
            Connection* connection = nullptr;
            steps.time("connection", [&] { connection = &run.begin(connectionSettings); });

            InputFile file(FieldRule::Plain, separator);
            QStringList header;
            steps.time("file_side", [&] {
                file.open(path, [] { return false; });
                file.readHeader();
                header = file.header();
                if (file.check([] { return false; }).report)
                    throw Failure(QStringLiteral("%1 fails the field-count check").arg(path));
            });
            steps.time("column_count", [&] {
                connection->query(QStringLiteral("SELECT * FROM ") + quoteIdentifier(table) +
                                  QStringLiteral(" LIMIT 0"));
            });
            steps.time("copy_decision", [&] { copyColumnList(*connection, table, header.size()); });
            steps.time("rows", [&] {
                RecordReader records = file.dataRecords();
                // As the run makes it: the COPY decision, then the sender.
                const SenderChoice choice{table, path, FieldRule::Plain, separatorUtf8, false, {}};
                const std::unique_ptr<RowSender> sender = makeRowSender(
                    *connection, choice, header.size(), [&](const LineRejection&) { ++rejected; });
                Record record;
                while (records.next(record)) {
                    if (record.fieldCount > 0)
                        sender->send(record);
                }
                sender->finish();
            });
            const QString name = QStringLiteral("bench_steps_%1").arg(round);
            steps.time("create_table",
                       [&] { connection->execute(BuildCreateTableStatement(name, header)); });
            created << quoteIdentifier(name);
            run.end();

            steps.time("fresh_connect", [&] { Connection::open(connectionSettings); });
            const QString other = QStringLiteral("bench_steps_nosync_%1").arg(round);
            connection->execute(QStringLiteral("SET synchronous_commit = off"));
            steps.time("create_nosync",
                       [&] { connection->execute(BuildCreateTableStatement(other, header)); });
            created << quoteIdentifier(other);
        }
        if (run.opened() != 1)
            throw Failure(QStringLiteral("%1 connections were opened, not 1").arg(run.opened()));
        run.close();
        Connection::open(connectionSettings)
            .execute(QStringLiteral("DROP TABLE ") + created.join(QStringLiteral(", ")));
        steps.print();
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
