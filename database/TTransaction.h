#pragma once
// A transaction on a named connection for the life of a scope: started when made,
// committed by commit(), rolled back when the scope ends without a commit (a failure
// thrown out of it, or an early return).
//
// run() is the usual way to write: it runs the work in a transaction of its own and,
// when the work lost to a concurrent writer or to a connection that broke under it,
// rolls back and runs the whole work again, a bounded number of times (tries, counting
// the first; TDatabase::kConflictAttempts unless told; a broken connection is reopened
// once besides). The work must therefore be repeatable: it reads what it needs inside
// the transaction.

#include <QString>

#include <functional>

class TDatabase;

class TTransaction {
public:
    // Throws EDatabaseError when the transaction cannot start.
    explicit TTransaction(TDatabase& connection);
    // The connection for a database name (see TDatabase::connectionFor).
    explicit TTransaction(const QString& databaseName);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    TDatabase& connection() const { return m_connection; }
    // Throws EDatabaseError when the engine refuses the commit.
    void commit();
    // Never throws: an engine that cannot roll back has already undone the work.
    void rollback();

    static void run(TDatabase& connection, const std::function<void()>& work);
    static void run(TDatabase& connection, const std::function<void()>& work, int tries);
    static void run(const QString& databaseName, const std::function<void()>& work);

private:
    TDatabase& m_connection;
    bool m_open = false;
};
