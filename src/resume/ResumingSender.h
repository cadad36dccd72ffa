#pragma once

#include "database/Connection.h"
#include "resume/Reconnector.h"
#include "sending/RowSender.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class RecordReader;
class RunConnection;

// Sends one file's records through a sender made over the file's connection, and carries on
// over a new connection when that one breaks. The sender's report of what the broken connection
// left behind (LostConnection) says which lines are not known committed; the connection is
// opened again through Reconnector, a chunk whose COMMIT was in doubt is settled from its
// ChunkMarker (Reconnector::settle()), the file is read again from its start and the lines not
// committed go to a new sender. The lines themselves are not kept: the file is a snapshot and
// reads the same bytes again. Nothing goes in twice; a line rejected before the break is
// reported once. Lines whose fate can't be learnt (row statements whose answers were lost; a
// chunk in doubt without a marker, or whose server did not come back) are not sent again: one
// message names them.
//
// The sender is made at the first record, for its number of values (Make). When the server
// does not come back within the bound, or the file had no connection to begin with, the lines
// not sent are reported once, by finish(), as one rejection at the first of them; so are they
// when the server refused the table (RowSender::refusal()): the lines handed over that did not
// go in, from the refused one on, and every later line. A stop during
// the wait leaves them unsent and unreported, as a stop does. The new connection replaces the
// run's. Used on the run's thread.
class ResumingSender : public RowSender {
public:
    using Make = std::function<std::unique_ptr<RowSender>(Connection&, qsizetype valueCount)>;
    // The file's data records from the first one, as the run reads them.
    using Reread = std::function<RecordReader()>;
    // Told the rows accepted so far and the bound in seconds while the server is waited for.
    using Waiting = std::function<void(qint64 rowsAccepted, int seconds)>;

    struct Context {
        RunConnection& connection;
        ConnectionSettings settings;
        std::function<bool()> stop;
        Make make;
        Reread reread;
        Rejected rejected;
        QString path;
        Waiting waiting;
        // Off: the lines not sent are not reported by finish() but left to notSent(), for a
        // caller that reports those of several senders of one file as one.
        bool reportNotSent = true;
    };

    // Lines handed over that were not sent, from the first of them on, and why.
    struct NotSent {
        qint64 first = -1;
        qint64 lines = 0;
        QString reason;
    };

    explicit ResumingSender(Context context);
    ~ResumingSender() override;

    void send(const Record& record) override;
    void finish() override;
    qint64 rowsAccepted() const override;
    // Never: a broken connection is taken care of here.
    std::optional<LostConnection> lostConnection() const override { return std::nullopt; }

    // Whether every line handed over was sent: none was left unsent for want of a server.
    bool allSent() const { return m_unsent == 0; }
    // After finish(): the lines not sent, when some were not.
    std::optional<NotSent> notSent() const;
    // How many connections this file went on over after its first one broke.
    int resumptions() const { return m_resumptions; }

private:
    bool lost() const { return m_sender && m_sender->lostConnection().has_value(); }
    void resumeWhileLost();
    bool resume();
    std::optional<Connection> reconnect(const std::optional<ChunkInDoubt>& chunk, ChunkFate& fate,
                                        QString& failure);
    void settleChunk(const ChunkInDoubt& chunk, std::optional<ChunkFate> fate);
    void nameInDoubt(qint64 first, qint64 last);
    void removeMarkers(Connection& connection, const LostConnection& lost);
    bool resend();
    void giveUp(const QString& reason);
    bool takeRefusal();

    Context m_context;
    Reconnector m_reconnector;
    std::unique_ptr<RowSender> m_sender;
    qsizetype m_valueCount = 0;  // of the first record, which the sender was made for
    std::vector<qint64> m_owed;  // lines to hand to the sender again, in line order
    qint64 m_acceptedBefore = 0; // by the senders of connections that broke
    QString m_gaveUp;            // why the lines from m_firstUnsent on are not sent
    qint64 m_firstUnsent = -1;
    qint64 m_unsent = 0;
    int m_resumptions = 0;
    bool m_stopped = false;
    bool m_finished = false;
};
