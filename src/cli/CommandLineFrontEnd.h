#pragma once

#include "import/ImportFrontEnd.h"

#include <QStringList>
#include <QTextStream>

// The import's front end on a terminal: plain messages to standard output, "Application
// Error" texts and the field-count report to standard error (line breaks as "\n"). Input
// boxes for column names are answered from a fixed list, from its start again for every file;
// past its end the answer is empty.
class CommandLineFrontEnd : public ImportFrontEnd {
public:
    explicit CommandLineFrontEnd(QStringList columnNames);

    void message(const QString& text) override;
    void applicationError(const QString& text) override;
    QString inputText(const QString& prompt, const QString& defaultAnswer) override;
    void fieldCountReport(const QString& report) override;
    void setBusy(bool) override {}
    void tableListed(const QString&) override {}
    void progress(const ImportProgress& progress) override;

private:
    QStringList m_columnNames;
    qsizetype m_nextAnswer = 0;
    int m_file = 0;
    QTextStream m_out;
    QTextStream m_err;
};
