#include "database/TLockWatch.h"

#include <QSqlDriver>
#include <QVariant>

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include <ibase.h>

using Clock = std::chrono::steady_clock;

struct TLockWatch::Entry {
    isc_db_handle attachment = 0;
    Clock::time_point deadline;
    bool fired = false;
};

namespace {

// One thread serves every armed watch of the process; it starts with the first.
class Watchdog {
public:
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void arm(const std::shared_ptr<TLockWatch::Entry>& entry)
    {
        {
            std::lock_guard lock(m_mutex);
            m_entries.push_back(entry);
            if (!m_thread.joinable())
                m_thread = std::thread([this] { watch(); });
        }
        m_wake.notify_all();
    }

    // After this returns the entry's operation is never cancelled again.
    bool disarm(const std::shared_ptr<TLockWatch::Entry>& entry)
    {
        std::lock_guard lock(m_mutex);
        m_entries.remove(entry);
        return entry->fired;
    }

    bool fired(const std::shared_ptr<TLockWatch::Entry>& entry)
    {
        std::lock_guard lock(m_mutex);
        return entry->fired;
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            Clock::time_point next = Clock::time_point::max();
            for (const auto& entry : m_entries)
                if (!entry->fired)
                    next = std::min(next, entry->deadline);
            if (next == Clock::time_point::max()) {
                m_wake.wait(lock);
                continue;
            }
            m_wake.wait_until(lock, next);
            const Clock::time_point now = Clock::now();
            for (const auto& entry : m_entries) {
                if (entry->fired || entry->deadline > now)
                    continue;
                // Under the lock, so a statement that finished meanwhile cannot have
                // been disarmed and its connection gone on to other work.
                ISC_STATUS_ARRAY status {};
                fb_cancel_operation(status, &entry->attachment, fb_cancel_raise);
                entry->fired = true;
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<std::shared_ptr<TLockWatch::Entry>> m_entries;
    std::thread m_thread;
    bool m_stopping = false;
};

Watchdog& watchdog()
{
    static Watchdog instance;
    return instance;
}

} // namespace

TLockWatch::TLockWatch(const QSqlDatabase& connection, int milliseconds)
{
    if (milliseconds <= 0 || !connection.isOpen() || !connection.driver())
        return;
    const QVariant handle = connection.driver()->handle();
    if (!handle.isValid() || !handle.constData())
        return;
    m_entry = std::make_shared<Entry>();
    m_entry->attachment = *static_cast<const isc_db_handle*>(handle.constData());
    m_entry->deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    watchdog().arm(m_entry);
}

TLockWatch::~TLockWatch()
{
    if (!m_entry || !watchdog().disarm(m_entry))
        return;
    // A cancel that arrived as the statement finished on its own would otherwise be
    // kept by the engine for the connection's next call; a ping takes it.
    ISC_STATUS_ARRAY status {};
    fb_ping(status, &m_entry->attachment);
}

bool TLockWatch::fired() const { return m_entry && watchdog().fired(m_entry); }
