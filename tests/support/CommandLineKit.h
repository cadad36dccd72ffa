#pragma once

#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

// What the program wrote on standard error without the summary line that ends a run which left
// something out; that line, when there is one, goes to summary.
inline QString withoutSummary(const QString& err, QString* summary = nullptr) {
    static const QRegularExpression line(
        QStringLiteral("^quenmarl-cli: [\\d,]+ of [\\d,]+ file\\(s\\) imported, .*\\n"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(err);
    if (!match.hasMatch())
        return err;
    if (summary)
        *summary = match.captured(0).chopped(1);
    return QString(err).remove(match.capturedStart(), match.capturedLength());
}

// Polls the condition every 10 ms; false when it is still not met after the time given.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// The files and rows counted by a closing "Import stopped." line that is all of the output;
// both -1 when the output is something else.
struct StoppedCounts {
    qint64 files = -1;
    qint64 rows = -1;
};
inline StoppedCounts importStopped(const QString& out) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Import stopped\\. ([\\d,]+) file\\(s\\) and ([\\d,]+) "
                                          "row\\(s\\) were imported\\.\\n$"))
            .match(out);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).remove(QLatin1Char(',')).toLongLong(),
            match.captured(2).remove(QLatin1Char(',')).toLongLong()};
}

// The rows counted by a closing "Import stopped." line that is all of the output and counts no
// file, or -1 when the output is something else.
inline qint64 importStoppedRows(const QString& out) {
    const StoppedCounts counts = importStopped(out);
    return counts.files == 0 ? counts.rows : -1;
}

// The lines of the file called name that the errors on standard error name ("PATH:LINE: "), in
// order; a server's DETAIL line is not an error of its own.
inline QList<int> namedLines(const QString& err, const QString& name) {
    QList<int> lines;
    const QRegularExpression named(QStringLiteral("^.*/%1:(\\d+): (?!DETAIL:  )").arg(name),
                                   QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& match : named.globalMatch(err))
        lines << match.captured(1).toInt();
    return lines;
}

// Every data line of a numbered file (numberedLines(); bad ones every badEvery, 0 for none)
// called name is accounted for, given the numbers in the table and what the program wrote on
// standard error: in the table, or a bad line named, or in a range of lines that a message
// names as in doubt, or in the lines a message names as not sent. Returns how many messages
// named lines in doubt.
inline int expectLinesAccounted(const QStringList& numbersIn, int lines, int badEvery,
                                const QString& err, const QString& name) {
    QSet<int> in;
    for (const QString& n : numbersIn)
        in.insert(n.toInt());
    QList<std::pair<int, int>> doubt;
    const QRegularExpression doubtful(
        QStringLiteral("(\\d+) line\\(s\\) of [^\\n]*, lines (\\d+) to (\\d+), may or may "
                       "not be in the table"));
    for (const QRegularExpressionMatch& m : doubtful.globalMatch(err))
        doubt.append({m.captured(2).toInt(), m.captured(3).toInt()});
    // The lines not sent: "from line X on" after one connection; stretches of lines, the last
    // possibly to the end, after ranges sent side by side.
    QList<std::pair<int, int>> unsentStretches;
    const QRegularExpression unsentMessage(
        QStringLiteral("(\\d+) line\\(s\\) of [^\\n]*?(?:, from line (\\d+) on,)? were not "
                       "sent(?:, ([^:]*))?:"));
    for (const QRegularExpressionMatch& m : unsentMessage.globalMatch(err)) {
        if (!m.captured(2).isEmpty())
            unsentStretches.append({m.captured(2).toInt(), lines + 1});
        const QRegularExpression part(QStringLiteral("lines (\\d+) to (\\d+)|from line (\\d+) on"));
        for (const QRegularExpressionMatch& p : part.globalMatch(m.captured(3)))
            unsentStretches.append(p.captured(3).isEmpty()
                                       ? std::pair{p.captured(1).toInt(), p.captured(2).toInt()}
                                       : std::pair{p.captured(3).toInt(), lines + 1});
        int counted = 0;
        for (auto [first, last] : unsentStretches)
            counted += last - first + 1;
        EXPECT_EQ(m.captured(1).toInt(), counted) << m.captured(0).toStdString();
    }
    const auto unsent = [&](int line) {
        return std::any_of(unsentStretches.begin(), unsentStretches.end(),
                           [line](auto r) { return line >= r.first && line <= r.second; });
    };
    const QList<int> named = namedLines(err, name);
    int badNamed = 0;
    for (int n = 1; n <= lines; ++n) {
        const int line = n + 1; // the header is line 1
        const bool bad = badEvery > 0 && n % badEvery == 0;
        if (std::any_of(doubt.begin(), doubt.end(),
                        [line](auto r) { return line >= r.first && line <= r.second; }))
            continue;
        if (unsent(line)) {
            EXPECT_FALSE(in.contains(n)) << "line " << line << " was not sent";
        } else if (bad) {
            EXPECT_FALSE(in.contains(n)) << "bad line " << line;
            EXPECT_TRUE(named.contains(line)) << "bad line " << line << " named";
            ++badNamed;
        } else {
            EXPECT_TRUE(in.contains(n)) << "line " << line << " is in";
        }
    }
    // Every error is one line that names its place (a DETAIL line is part of its error; what
    // libpq prints of the server's own farewell is no error of the run).
    const QRegularExpression error(
        QStringLiteral("^(?:quenmarl-cli: |.*/%1:(?:\\d+:)? )(?!DETAIL:  )")
            .arg(QRegularExpression::escape(name)),
        QRegularExpression::MultilineOption);
    EXPECT_EQ(err.count(error), badNamed + doubt.size() + (unsentStretches.isEmpty() ? 0 : 1))
        << err.toStdString();
    return static_cast<int>(doubt.size());
}

// quenmarl-cli run as a process against a fresh database, with a settings store of its own.
class CommandLineFixture : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) {
        return writeTestFile(m_dir, name, bytes);
    }

    QStringList arguments(const QStringList& rest) const {
        const ConnectionSettings s = m_db.settings();
        const QString port = m_port.isEmpty() ? s.port : m_port;
        return QStringList{"--server", s.server,     "--port",   port,         "--user",
                           s.user,     "--password", s.password, "--database", s.database} +
               rest;
    }

    // Starts the program with the arguments after the connection's, and the variables given
    // added to the environment.
    void start(QProcess& process, const QStringList& rest,
               const QList<std::pair<QString, QString>>& variables = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        for (const auto& [name, value] : variables)
            environment.insert(name, value);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUENMARL_CLI_PATH), arguments(rest));
        ASSERT_TRUE(process.waitForStarted());
    }

    struct Outcome {
        int exitCode = -1;
        QString out;
        QString err;     // without the summary line
        QString summary; // the summary line, when there is one
    };

    // Waits for the program's end (four minutes at most) and takes what it wrote.
    Outcome finishRun(QProcess& process) {
        EXPECT_TRUE(process.waitForFinished(240000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        Outcome outcome{
            process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), {}, {}};
        outcome.err =
            withoutSummary(QString::fromUtf8(process.readAllStandardError()), &outcome.summary);
        return outcome;
    }

    Outcome run(const QStringList& rest) {
        QProcess process;
        start(process, rest);
        return finishRun(process);
    }

    void interrupt(QProcess& process, int signal = SIGINT) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    TestDatabase m_db;
    QString m_port; // when not empty, the port the program is told instead of the server's
};
