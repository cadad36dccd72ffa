#pragma once

#include "database/Connection.h"
#include "resume/Reconnector.h"
#include "sending/RowSender.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class RecordReader;
class RunConnection;

// Sends one file's lines through a sender made over the file's connection, and carries on
// over a new connection when that one breaks: it keeps the index of every line handed over
// and not yet known committed (the wrapped sender settles them a chunk at a time), opens the
// connection again through Reconnector, learns whether a chunk whose COMMIT was in doubt
// committed (from its ChunkMarker, Reconnector::settle()), reads the file again from its start
// and sends the lines from the first one not committed to a new sender. The lines themselves
// are not kept: the file is a snapshot and reads the same bytes again. Nothing goes in twice; a
// line rejected before the break is reported once. Lines whose fate can't be learnt (row
// statements whose answers were lost, RowSender::unanswered(); a chunk without a marker) are
// not sent again: one message names them.
//
// When the server does not come back within the bound, or the file had no connection to begin
// with, the lines not sent are reported once, by finish(), as one rejection at the first of
// them. A stop during the wait leaves them unsent and unreported, as a stop does. The new
// connection replaces the run's. Used on the run's thread.
class ResumingSender : public RowSender {
public:
    using Make = std::function<std::unique_ptr<RowSender>(Connection&)>;
    // The file's data lines from the first one, as the run reads them.
    using Reread = std::function<RecordReader()>;
    // Told the rows accepted so far and the bound in seconds while the server is waited for.
    using Waiting = std::function<void(qint64 rowsAccepted, int seconds)>;

    struct Context {
        RunConnection& connection;
        ConnectionSettings settings;
        std::function<bool()> stop;
        Make make;
        Reread reread;
        QByteArray separator; // UTF-8, as the run cuts lines
        Rejected rejected;
        QString path;
        Waiting waiting;
    };

    explicit ResumingSender(Context context);
    ~ResumingSender() override;

    void send(qint64 lineIndex, const QStringList& fields) override;
    void sendUtf8(qint64 lineIndex, QByteArrayView line, QByteArrayView separator,
                  qsizetype fieldCount) override;
    void finish() override;
    qint64 rowsAccepted() const override;
    qint64 firstUncommitted() const override;

    // Whether every line handed over was sent: none was left unsent for want of a server.
    bool allSent() const { return m_unsent == 0; }

    // How many connections this file went on over after its first one broke.
    int resumptions() const { return m_resumptions; }

private:
    bool take(qint64 lineIndex);
    void afterSend();
    void resumeWhileLost();
    bool resume();
    std::optional<Connection> reconnect(const std::optional<ChunkInDoubt>& inDoubt, ChunkFate& fate,
                                        QString& failure);
    void removeMarkers(Connection& connection, const std::optional<ChunkInDoubt>& inDoubt);
    bool resend();
    void reportUnanswered();
    void giveUp(const QString& reason);
    void forgetCommitted();

    Context m_context;
    Reconnector m_reconnector;
    std::unique_ptr<RowSender> m_sender;
    std::deque<qint64> m_handed; // lines handed over and not known committed, in order
    qint64 m_acceptedBefore = 0; // by the senders of connections that broke
    QString m_gaveUp;            // why the lines from m_firstUnsent on are not sent
    qint64 m_firstUnsent = -1;
    qint64 m_unsent = 0;
    int m_resumptions = 0;
    bool m_stopped = false;
    bool m_finished = false;
};
