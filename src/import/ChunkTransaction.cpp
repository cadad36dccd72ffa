#include "import/ChunkTransaction.h"

#include "database/Connection.h"

QByteArray ChunkTransaction::prefix() {
    if (m_rollBackFirst) {
        m_rollBackFirst = false;
        m_dirty = false;
        return QByteArrayLiteral("ROLLBACK TO SAVEPOINT quenmarl_copy; ");
    }
    if (!m_open) {
        m_open = true;
        m_dirty = false;
        m_age.start();
        const Result begun = m_connection.run("BEGIN; SELECT txid_current()");
        m_xid = begun.rowCount() == 1 ? begun.value(0, 0) : QString();
        return QByteArrayLiteral("SAVEPOINT quenmarl_copy; ");
    }
    if (m_dirty) {
        m_dirty = false;
        return QByteArrayLiteral("RELEASE SAVEPOINT quenmarl_copy; SAVEPOINT quenmarl_copy; ");
    }
    return {};
}

QByteArray ChunkTransaction::commitStatement() {
    QByteArray statement = "COMMIT";
    if (m_rollBackFirst)
        statement.prepend("ROLLBACK TO SAVEPOINT quenmarl_copy; ");
    m_rollBackFirst = false;
    return statement;
}
