#pragma once
// The log viewer's background pass: reads the keys a statement gives (one integer
// column) on a thread and an engine connection of its own, so that the grid stays
// usable while the engine walks a million rows, and hands them over on the thread of
// the object that asked. Stopping cancels the engine's work at once and waits for the
// thread, so nothing runs on after the viewer has closed or changed its rows.

#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QObject;

class TLogBlockKeys {
public:
    using Done = std::function<void(std::vector<qint64> keys)>;

    // Starts reading sql on a new connection to connection's database, with its
    // account. done runs once, on receiver's thread, with every key in the
    // statement's order: when the pass ends, or in finish(); never when the pass was
    // stopped or destroyed first or the read failed.
    TLogBlockKeys(const QSqlDatabase& connection, const QString& sql, QObject* receiver, Done done);
    // Stops.
    ~TLogBlockKeys();
    TLogBlockKeys(const TLogBlockKeys&) = delete;
    TLogBlockKeys& operator=(const TLogBlockKeys&) = delete;

    // Cancels the statement and waits for the thread to end. Call on receiver's thread.
    void stop();
    // Waits for the pass to read to its end and runs done now, for a caller that
    // needs the keys at once. Call on receiver's thread.
    void finish();
    // Whether the thread is still reading (done has not been posted yet).
    bool running() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::jthread m_thread;
};
