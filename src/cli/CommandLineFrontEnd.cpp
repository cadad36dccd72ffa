#include "cli/CommandLineFrontEnd.h"

#include <cstdio>

namespace {

// Message texts use CR LF and lone CR as line breaks; a terminal wants LF.
QString terminalText(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

CommandLineFrontEnd::CommandLineFrontEnd(QStringList columnNames)
    : m_columnNames(std::move(columnNames))
    , m_out(stdout)
    , m_err(stderr) {}

void CommandLineFrontEnd::message(const QString& text) {
    m_out << terminalText(text) << '\n';
    m_out.flush();
}

void CommandLineFrontEnd::applicationError(const QString& text) {
    m_err << terminalText(text) << "\n\n";
    m_err.flush();
}

QString CommandLineFrontEnd::inputText(const QString&, const QString&) {
    return m_nextAnswer < m_columnNames.size() ? m_columnNames[m_nextAnswer++] : QString();
}

void CommandLineFrontEnd::fieldCountReport(const QString& report) {
    m_err << terminalText(report) << '\n';
    m_err.flush();
}

void CommandLineFrontEnd::progress(const ImportProgress& progress) {
    // The run reports each file's start before it asks for that file's column names.
    if (progress.file != m_file) {
        m_file = progress.file;
        m_nextAnswer = 0;
    }
}
