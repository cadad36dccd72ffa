#include "import/ImportReporter.h"

#include "report/BriefMessage.h"
#include "shell/ApplicationError.h"
#include "shell/Failure.h"
#include "textfile/InputFile.h"

// A complete text without its parts: it stands for its description too.
void ImportReporter::applicationError(const QString& text) {
    reportFailure(text, text);
}

void ImportReporter::applicationErrorOfStep(const QString& context, int step,
                                            const QString& description) {
    reportFailure(description, applicationErrorText(context, step, description));
}

// The report keeps the server's primary message and DETAIL of it, not the statement around.
void ImportReporter::reportFailure(const QString& description, const QString& text) {
    ++m_errors;
    const QString what = briefMessage(description);
    if (m_rejection && m_rejection->ofRecord) {
        m_frontEnd.rowRejected(m_place, description, text);
        const LineRejection& r = *m_rejection;
        intoReport([&](RunReport& report) { report.rejected(r.line, r.sqlState, what); });
        return;
    }
    m_frontEnd.applicationErrorAt(m_place, description, text);
    if (m_rejection) {
        const LineRejection& r = *m_rejection;
        intoReport([&](RunReport& report) { report.notSent(r.line, r.lines, what); });
    } else {
        intoReport([&](RunReport& report) { report.failed(what); });
    }
}

void ImportReporter::intoReport(const std::function<void(RunReport&)>& put) {
    if (m_reportFailed)
        return;
    try {
        put(*m_report);
    } catch (const Failure& failure) {
        // Told once: every later entry would fail alike.
        m_reportFailed = true;
        ++m_errors;
        const QString text =
            QStringLiteral("The run's report could not be kept: %1").arg(failure.description());
        m_frontEnd.applicationErrorAt(m_place, text, text);
    }
}

void ImportReporter::beginFile(int position, const QString& path) {
    m_position = position;
    m_place = {path, 0};
    m_rejection.reset();
    intoReport([&](RunReport& report) { report.beginFile(path); });
}

void ImportReporter::keepRejected(InputFile& file, bool headerLine) {
    intoReport([&](RunReport& report) {
        report.keepRejected(file.snapshot(), file.rule(), file.separator(), headerLine);
    });
}

void ImportReporter::endFile() {
    m_place.line = 0;
    m_rejection.reset();
    intoReport([](RunReport& report) { report.endFile(); });
    m_position = 0;
    m_place = {};
}

std::shared_ptr<RunReport> ImportReporter::finishReport(int filesImported, int filesListed,
                                                        qint64 rowsIn) {
    m_report->finish(filesImported, filesListed, rowsIn);
    return m_report;
}

void ImportReporter::unreadable(const QString& text, const QString& description) {
    m_frontEnd.unreadableFile(m_place, description, text);
    passedOver(causeOf(description) + QStringLiteral("; no row was sent."));
}

void ImportReporter::brokenOff(const QString& text, const QString& description,
                               qint64 firstNotRead) {
    m_frontEnd.unreadableFile({m_place.path, firstNotRead}, description, text);
    passedOver(causeOf(description) + QLatin1Char('.'));
}

// The description as the reason of a passed-over line, which names the file first.
QString ImportReporter::causeOf(const QString& description) const {
    // "Could not open PATH: No such file or directory" becomes the reason "could not open the
    // file: No such file or directory; no row was sent.", as the line names the file first.
    QString cause = description;
    if (!m_place.path.isEmpty())
        cause.replace(m_place.path, QStringLiteral("the file"));
    while (cause.endsWith(QLatin1Char('.')))
        cause.chop(1);
    if (!cause.isEmpty())
        cause[0] = cause[0].toLower();
    return cause;
}

void ImportReporter::noColumns(bool noLines) {
    passedOverWithMessage(noLines ? QStringLiteral("the file is empty; no row was sent.")
                                  : QStringLiteral("the first line is empty, so the file has no "
                                                   "columns; no row was sent."));
}

void ImportReporter::unusableHeader(const QString& problem) {
    passedOverWithMessage(problem + QStringLiteral("; no table was created and no row was sent."));
}

void ImportReporter::tableAlreadyListed(const QString& table) {
    passedOver(QStringLiteral("the table name \"%1\" is already in the list of existing tables; "
                              "no row was sent.")
                   .arg(table));
}

void ImportReporter::templateEmpty() {
    passedOver(QStringLiteral("the table-name template is empty; no row was sent."));
}

void ImportReporter::columnNameMissing(qsizetype column) {
    passedOver(QStringLiteral("no name was given for column #%1; no table was created and no "
                              "row was sent.")
                   .arg(column));
}

void ImportReporter::tableNotCreated(const QString& table) {
    m_frontEnd.message(QStringLiteral("%1 was skipped because its table \"%2\" could not be "
                                      "created; no row was sent.")
                           .arg(m_place.path, table));
}

void ImportReporter::columnCountsDiffer(const QString& separator, qsizetype fileColumns,
                                        const QString& table, int tableColumns) {
    m_frontEnd.message(QStringLiteral("The columns in the text file and the columns in the table "
                                      "must be identical.\r\n\r\n") +
                       m_place.path + QStringLiteral(" was split by ") + separator +
                       QStringLiteral(" and has ") + QString::number(fileColumns) +
                       QStringLiteral(" columns. The table ") + table + QStringLiteral(" has ") +
                       QString::number(tableColumns) + QStringLiteral(" columns."));
    passedOver(QStringLiteral("the file has %1 columns and the table \"%2\" has %3; no row was "
                              "sent.")
                   .arg(QString::number(fileColumns), table, QString::number(tableColumns)));
}

void ImportReporter::linesWithoutSeparator(qint64 lines, bool noneSent, const QString& separator) {
    if (lines <= 0)
        return;
    if (noneSent) {
        m_frontEnd.message(QStringLiteral("No rows were sent from %1: no line holds the "
                                          "separator \"%2\".")
                               .arg(m_place.path, separator));
        passedOver(
            QStringLiteral("no line holds the separator \"%1\"; no row was sent.").arg(separator),
            lines);
        return;
    }
    passedOver(QStringLiteral("%1 line(s) without the separator \"%2\" were not sent.")
                   .arg(QString::number(lines), separator),
               lines);
}

void ImportReporter::passedOverWithMessage(const QString& reason) {
    m_frontEnd.passedOverMessage(
        QStringLiteral("%1 was passed over: %2").arg(m_place.path, reason));
    passedOver(reason);
}

void ImportReporter::serverNotice(const ServerNotice& notice) {
    if (m_place.path.isEmpty() || notice.endsConnection() || notice.fromLibpq() ||
        notice.errorOutsideAnAnswer())
        return;
    m_frontEnd.serverNotice(m_place.path, notice.text);
}

void ImportReporter::passedOver(const QString& reason, qint64 lines) {
    if (m_position != m_lastPassedOver) {
        m_lastPassedOver = m_position;
        ++m_filesPassedOver;
    }
    m_frontEnd.passedOver(m_place.path, reason);
    intoReport([&](RunReport& report) { report.passedOver(reason, lines); });
}
