#pragma once
// Puts a time limit on one call into the engine on a connection.
//
// A statement that may wait for a row another transaction holds gets the lock
// timeout. The engine driver cannot give a transaction a lock timeout of its own, so
// when the limit passes first, the engine is asked to cancel the connection's current
// operation, which ends the wait with a failure.
//
// On a connection to a Firebird server every call is watched as well: the client
// library waits for the server's answer without a limit, so a stopped or frozen
// server would hold the program for as long as it stays so. A call that has not come
// back after kServerCheck is checked on with a second connection to the same
// database. A server that answers it is working on a long statement and is left to
// it (and checked again later); one that does not answer within kServerCheck either
// is given up on: the connection is aborted, which ends the call at once with a
// network failure. Such a call so ends within about twice kServerCheck.
//
// The watch is disarmed before the call's caller goes on, so it never touches later
// work.

#include <QByteArray>
#include <QSqlDatabase>

#include <chrono>
#include <memory>

class TLockWatch {
public:
    static constexpr std::chrono::seconds kServerCheck {5};

    // How to reach the server of a connection for the check: its location
    // (host[/port]:path) and account.
    struct Server {
        QByteArray location;
        QByteArray parameters; // the engine's attachment parameters, account included
    };
    static std::shared_ptr<const Server> server(const QString& location, const QString& user, const QString& password);

    // Arms the watch: the lock timeout for milliseconds (none when 0 or less), the
    // server check when server is given. Nothing when the connection is not open.
    TLockWatch(const QSqlDatabase& connection, int milliseconds, std::shared_ptr<const Server> server = nullptr);
    ~TLockWatch();
    TLockWatch(const TLockWatch&) = delete;
    TLockWatch& operator=(const TLockWatch&) = delete;

    // Whether the lock timeout passed and the operation was cancelled.
    bool fired() const;
    // Whether the server did not answer and the connection was aborted.
    bool abandoned() const;

    struct Entry;

private:
    std::shared_ptr<Entry> m_entry;
};
