#include "cli/CommandLineFrontEnd.h"

#include "cli/BriefError.h"
#include "cli/TerminalText.h"
#include "report/RunReport.h"
#include "shell/NumberText.h"
#include "shell/Platform.h"

#include <algorithm>

#include <cstdio>

namespace {

// The width the progress line keeps within, so that it never wraps on a usual terminal.
constexpr qsizetype TerminalColumns = 79;

// What begins each line of an error: the place, as compilers name one.
QString placeText(const FailurePlace& place) {
    if (place.path.isEmpty())
        return QStringLiteral("quenmarl-cli: ");
    QString text = terminalLine(place.path) + QLatin1Char(':');
    if (place.line > 0)
        text += QString::number(place.line) + QLatin1Char(':');
    return text + QLatin1Char(' ');
}

// The closing line of a run in which something was rejected, reported or passed over: the
// counts of the "Import stopped." line, and what did not go in.
QString summaryText(const ImportResult& result) {
    return QStringLiteral("Import incomplete. %1 of %2 file(s) and %3 row(s) were imported; %4 "
                          "error(s) were reported and %5 file(s) were passed over.")
        .arg(groupedCount(result.filesImported), groupedCount(result.filesListed),
             groupedCount(result.rowsSent), groupedCount(result.errorsReported),
             groupedCount(result.filesPassedOver));
}

} // namespace

CommandLineFrontEnd::CommandLineFrontEnd(QStringList columnNames, bool showProgress,
                                         bool fullMessages)
    : m_columnNames(std::move(columnNames))
    , m_showProgress(showProgress)
    , m_fullMessages(fullMessages)
    , m_out(stdout)
    , m_err(stderr) {
    m_clock.start();
}

void CommandLineFrontEnd::message(const QString& text) {
    wipeProgress();
    m_out << terminalText(text) << '\n';
    m_out.flush();
}

void CommandLineFrontEnd::applicationError(const QString& text) {
    wipeProgress();
    m_err << terminalText(text) << "\n\n";
    m_err.flush();
}

void CommandLineFrontEnd::applicationErrorAt(const FailurePlace& place, const QString& description,
                                             const QString& text) {
    wipeProgress();
    if (m_fullMessages) {
        if (!place.path.isEmpty()) {
            m_err << terminalLine(place.path) << ':';
            if (place.line > 0)
                m_err << place.line << ':';
            m_err << '\n';
        }
        applicationError(text);
        return;
    }
    const QString prefix = placeText(place);
    for (const QString& line : briefErrorLines(description))
        m_err << prefix << line << '\n';
    m_err.flush();
}

void CommandLineFrontEnd::runReport(const std::shared_ptr<RunReport>& report) {
    if (m_quiet || report->isEmpty())
        return;
    wipeProgress();
    m_err << "quenmarl-cli: " << report->summary() << '\n';
    m_err.flush();
}

void CommandLineFrontEnd::closing(const ImportResult& result, const QString& text) {
    const bool closesWhole =
        result.outcome == ImportOutcome::Done || result.outcome == ImportOutcome::TablesExisted;
    if (!m_fullMessages && closesWhole && (result.errorsReported > 0 || result.filesPassedOver > 0))
        message(summaryText(result));
    else
        message(text);
}

void CommandLineFrontEnd::passedOver(const QString& path, const QString& reason) {
    wipeProgress();
    m_err << terminalLine(path) << ": passed over: " << terminalLine(reason) << '\n';
    m_err.flush();
}

void CommandLineFrontEnd::serverNotice(const QString& path, const QString& text) {
    wipeProgress();
    m_err << terminalLine(path) << ": " << terminalText(text) << '\n';
    m_err.flush();
}

void CommandLineFrontEnd::namesInAnotherOrder(const QString& path, const QString& table) {
    wipeProgress();
    m_err << terminalLine(path) << ":1: warning: the first line names the columns of "
          << terminalLine(table)
          << " in another order; the values go by position (--match-names matches them by name)\n";
    m_err.flush();
}

QString CommandLineFrontEnd::inputText(const QString&, const QString&) {
    return m_nextAnswer < m_columnNames.size() ? m_columnNames[m_nextAnswer++] : QString();
}

void CommandLineFrontEnd::fieldCountReport(const FieldCountReport& report) {
    wipeProgress();
    if (m_fullMessages) {
        m_err << terminalLine(m_path) << ":\n" << terminalLine(report.recordText()) << '\n';
        if (report.problem != FieldCountReport::Problem::None)
            m_err << terminalLine(report.why()) << '\n';
    } else {
        const QString place = placeText({m_path, report.line + 1});
        m_err << place << terminalLine(report.shownText()) << '\n';
        if (report.problem != FieldCountReport::Problem::None)
            m_err << place << terminalLine(report.why(1)) << '\n';
    }
    m_err.flush();
}

void CommandLineFrontEnd::progress(const ImportProgress& progress) {
    // The run reports each file's start before it asks for that file's column names.
    if (progress.file != m_file) {
        m_file = progress.file;
        m_nextAnswer = 0;
    }
    m_path = progress.path;
    if (!m_showProgress)
        return;
    m_meter.update(progress, m_clock.elapsed());
    const QString rows = m_meter.rowsText();
    QString file = terminalLine(m_meter.fileText());
    // One line of a narrow terminal: a long file name loses its middle.
    const qsizetype room = std::max<qsizetype>(TerminalColumns - rows.size() - 2, 12);
    if (file.size() > room)
        file = file.left(room / 2 - 1) + QStringLiteral("...") + file.right(room - room / 2 - 2);
    const QString line = file + QStringLiteral("  ") + rows;
    m_err << '\r' << line;
    if (line.size() < m_progressWidth)
        m_err << QString(m_progressWidth - line.size(), QLatin1Char(' '));
    m_err.flush();
    m_progressWidth = line.size();
}

bool CommandLineFrontEnd::cancelRequested() {
    return platform::interruptRequested();
}

void CommandLineFrontEnd::wipeProgress() {
    if (m_progressWidth == 0)
        return;
    m_err << '\r' << QString(m_progressWidth, QLatin1Char(' ')) << '\r';
    m_err.flush();
    m_progressWidth = 0;
}
