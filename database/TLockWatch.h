#pragma once
// Puts a time limit on one statement's wait for a row that another transaction holds.
//
// The engine driver cannot give a transaction a lock timeout of its own, so a watch
// is armed on the connection while the statement runs; when the limit passes first,
// the engine is asked to cancel the connection's current operation, which ends the
// wait with a failure. The watch is disarmed before the statement's caller goes on,
// so it never cancels later work.

#include <QSqlDatabase>

#include <memory>

class TLockWatch {
public:
    // Arms the watch for milliseconds (none when 0 or less, or when the connection is
    // not open).
    TLockWatch(const QSqlDatabase& connection, int milliseconds);
    ~TLockWatch();
    TLockWatch(const TLockWatch&) = delete;
    TLockWatch& operator=(const TLockWatch&) = delete;

    // Whether the limit passed and the operation was cancelled.
    bool fired() const;

    struct Entry;

private:
    std::shared_ptr<Entry> m_entry;
};
