#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

// quenmarl_bench_relay between a test and the test server, as a server far away: every byte of a
// connection made to port() reaches the server a delay later, and every byte of its answers
// reaches the client as late. Started by the constructor (a test that uses it fails when it
// can't start), ended by the destructor. Built with the tests, beside quenmarl-cli.
class DelayLine {
public:
    DelayLine(const QString& serverHost, const QString& serverPort, int delayMilliseconds) {
        m_process.start(
            QFileInfo(QStringLiteral(QUENMARL_CLI_PATH))
                .dir()
                .filePath(QStringLiteral("quenmarl_bench_relay")),
            {QStringLiteral("0"), serverHost, serverPort, QString::number(delayMilliseconds)});
        if (!m_process.waitForStarted(5000))
            return;
        // One line, "listening on PORT", once it accepts.
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        const QStringList words = QString::fromLatin1(m_process.readLine()).split(' ');
        if (words.size() == 3 && words[0] == QLatin1String("listening"))
            m_port = words[2].trimmed();
        EXPECT_FALSE(m_port.isEmpty()) << "the relay did not start";
    }
    ~DelayLine() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // Empty when it did not start.
    const QString& port() const { return m_port; }

private:
    QProcess m_process;
    QString m_port;
};
