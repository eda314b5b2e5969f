#include "database/TTransaction.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"

TTransaction::TTransaction(TDatabase& connection) : m_connection(connection)
{
    // Held like a record set holds it, so a temporary connection outlives the scope.
    m_connection.attach();
    try {
        m_connection.startTransaction();
    } catch (...) {
        m_connection.detach();
        throw;
    }
    m_open = true;
}

TTransaction::TTransaction(const QString& databaseName) : TTransaction(*TDatabase::connectionFor(databaseName)) { }

TTransaction::~TTransaction()
{
    rollback();
    m_connection.detach();
}

void TTransaction::commit()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.commit();
}

void TTransaction::rollback()
{
    if (!m_open)
        return;
    m_open = false;
    if (!m_connection.inTransaction())
        return; // a broken connection has ended it already
    try {
        m_connection.rollback();
    } catch (const EDatabaseError&) { }
}

void TTransaction::run(TDatabase& connection, const std::function<void()>& work, int tries)
{
    using Reason = EDatabaseError::Reason;
    bool reopened = false;
    for (int attempt = 1;; ++attempt) {
        try {
            TTransaction transaction(connection);
            work();
            transaction.commit();
            return;
        } catch (EDatabaseError& failure) {
            const Reason reason = connection.recover(failure);
            if (reason == Reason::Broken && !reopened && connection.connected()) {
                reopened = true;
                continue;
            }
            if (reason == Reason::Conflict && attempt < tries) {
                TDatabase::pauseAfterConflict(attempt);
                continue;
            }
            throw;
        }
    }
}

void TTransaction::run(TDatabase& connection, const std::function<void()>& work)
{
    run(connection, work, TDatabase::kConflictAttempts);
}

void TTransaction::run(const QString& databaseName, const std::function<void()>& work)
{
    run(*TDatabase::connectionFor(databaseName), work);
}
