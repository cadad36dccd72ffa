#pragma once

#include "sending/RowSender.h"
#include "textfile/Record.h"

#include <QByteArray>
#include <functional>
#include <memory>
#include <vector>

// Holds a file's first lines back until it is known whether they are all. A file of no more
// lines than one group goes as a GroupedInsertSender group, in one round trip, where COPY takes
// two (its start and its end); a longer one goes by COPY, the lines held back first. For a
// table that takes COPY, where a group leaves the same rows and messages as COPY does.
class SmallFileSender : public RowSender {
public:
    using Make = std::function<std::unique_ptr<RowSender>()>;

    // holdLines: the most lines a group takes; copy and grouped make the two senders.
    SmallFileSender(qsizetype holdLines, Make copy, Make grouped);

    void send(const Record& record) override;
    void finish() override;
    qint64 rowsAccepted() const override { return m_sender ? m_sender->rowsAccepted() : 0; }
    std::optional<LostConnection> lostConnection() const override;
    std::optional<TableRefusal> refusal() const override;
    bool byCopy() const override { return true; }
    bool taking() const override { return !m_sender || m_sender->taking(); }

private:
    struct Held {
        Record record;
        QByteArray bytes; // a copy of the record's bytes, which its view then shows
    };

    void hand(Make& make);

    qsizetype m_holdLines;
    Make m_copy;
    Make m_grouped;
    std::vector<Held> m_held;
    std::unique_ptr<RowSender> m_sender;
    // Lines the sender was not handed: it lost the connection, or refused the table, while the
    // held ones were.
    std::vector<qint64> m_notHanded;
};
