#include "database/TLockWatch.h"

#include <QSqlDriver>
#include <QVariant>

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include <ibase.h>

using Clock = std::chrono::steady_clock;

struct TLockWatch::Entry {
    isc_db_handle attachment = 0;
    Clock::time_point cancelAt = Clock::time_point::max();
    Clock::time_point checkAt = Clock::time_point::max();
    std::shared_ptr<const Server> server;
    bool fired = false;
    bool abandoned = false;
    bool checking = false;
};

namespace {

// Whether the server answers a new connection within kServerCheck. Any answer counts,
// a refusal included; only silence, or a connection that cannot be made, does not.
bool serverAnswers(const TLockWatch::Server& server)
{
    ISC_STATUS_ARRAY status {};
    isc_db_handle probe = 0;
    if (isc_attach_database(status, 0, server.location.constData(), &probe, short(server.parameters.size()),
                            server.parameters.constData()) == 0) {
        isc_detach_database(status, &probe);
        return true;
    }
    switch (status[1]) {
    case isc_connect_reject:
    case isc_network_error:
    case isc_net_connect_err:
    case isc_net_read_err:
    case isc_net_write_err:
        return false;
    default:
        return true;
    }
}

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
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            m_entries.push_back(entry);
            if (!m_thread.joinable())
                m_thread = std::thread([this] { watch(); });
            // The thread is woken only when this entry falls due before the time it
            // sleeps until: most calls end long before their limit, and a wake-up for
            // each of them would cost two switches between threads.
            wake = std::min(entry->cancelAt, entry->checkAt) < m_wakeAt;
        }
        if (wake)
            m_wake.notify_all();
    }

    // After this returns the entry's operation is never cancelled again. Whether the
    // watch cancelled or aborted it.
    bool disarm(const std::shared_ptr<TLockWatch::Entry>& entry)
    {
        std::lock_guard lock(m_mutex);
        m_entries.remove(entry);
        return entry->fired || entry->abandoned;
    }

    bool fired(const std::shared_ptr<TLockWatch::Entry>& entry)
    {
        std::lock_guard lock(m_mutex);
        return entry->fired;
    }

    bool abandoned(const std::shared_ptr<TLockWatch::Entry>& entry)
    {
        std::lock_guard lock(m_mutex);
        return entry->abandoned;
    }

private:
    bool armed(const std::shared_ptr<TLockWatch::Entry>& entry) const
    {
        return std::find(m_entries.begin(), m_entries.end(), entry) != m_entries.end();
    }

    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            Clock::time_point next = Clock::time_point::max();
            for (const auto& entry : m_entries) {
                if (!entry->fired)
                    next = std::min(next, entry->cancelAt);
                if (!entry->abandoned && !entry->checking)
                    next = std::min(next, entry->checkAt);
            }
            m_wakeAt = next;
            if (next == Clock::time_point::max())
                m_wake.wait(lock);
            else
                m_wake.wait_until(lock, next);
            // Awake: every entry armed from now on is seen in the next round.
            m_wakeAt = Clock::time_point::min();
            const Clock::time_point now = Clock::now();
            std::shared_ptr<TLockWatch::Entry> due;
            for (const auto& entry : m_entries) {
                // Under the lock, so a call that finished meanwhile cannot have been
                // disarmed and its connection gone on to other work.
                if (!entry->fired && entry->cancelAt <= now) {
                    ISC_STATUS_ARRAY status {};
                    fb_cancel_operation(status, &entry->attachment, fb_cancel_raise);
                    entry->fired = true;
                }
                if (!due && !entry->abandoned && !entry->checking && entry->checkAt <= now)
                    due = entry;
            }
            if (due)
                check(due, lock);
        }
    }

    // Checks the server of a call that has not come back, without holding the lock
    // while it waits for the answer.
    void check(const std::shared_ptr<TLockWatch::Entry>& entry, std::unique_lock<std::mutex>& lock)
    {
        entry->checking = true;
        const std::shared_ptr<const TLockWatch::Server> server = entry->server;
        lock.unlock();
        const bool answers = serverAnswers(*server);
        lock.lock();
        entry->checking = false;
        if (!armed(entry))
            return;
        if (answers) {
            entry->checkAt = Clock::now() + TLockWatch::kServerCheck;
            return;
        }
        ISC_STATUS_ARRAY status {};
        fb_cancel_operation(status, &entry->attachment, fb_cancel_abort);
        entry->abandoned = true;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<std::shared_ptr<TLockWatch::Entry>> m_entries;
    std::thread m_thread;
    // When the thread wakes next on its own; the earliest time while it is awake.
    Clock::time_point m_wakeAt = Clock::time_point::min();
    bool m_stopping = false;
};

Watchdog& watchdog()
{
    static Watchdog instance;
    return instance;
}

} // namespace

std::shared_ptr<const TLockWatch::Server> TLockWatch::server(const QString& location, const QString& user,
                                                             const QString& password)
{
    auto result = std::make_shared<Server>();
    result->location = location.toUtf8();
    QByteArray& dpb = result->parameters;
    dpb += char(isc_dpb_version1);
    const auto add = [&dpb](char item, const QByteArray& value) {
        dpb += item;
        dpb += char(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, user.toUtf8());
    add(isc_dpb_password, password.toUtf8());
    const qint32 seconds = qint32(kServerCheck.count());
    add(isc_dpb_connect_timeout, QByteArray(reinterpret_cast<const char*>(&seconds), sizeof seconds));
    return result;
}

TLockWatch::TLockWatch(const QSqlDatabase& connection, int milliseconds, std::shared_ptr<const Server> server)
{
    if ((milliseconds <= 0 && !server) || !connection.isOpen() || !connection.driver())
        return;
    const QVariant handle = connection.driver()->handle();
    if (!handle.isValid() || !handle.constData())
        return;
    m_entry = std::make_shared<Entry>();
    m_entry->attachment = *static_cast<const isc_db_handle*>(handle.constData());
    const Clock::time_point now = Clock::now();
    if (milliseconds > 0)
        m_entry->cancelAt = now + std::chrono::milliseconds(milliseconds);
    if (server) {
        m_entry->server = std::move(server);
        m_entry->checkAt = now + kServerCheck;
    }
    watchdog().arm(m_entry);
}

TLockWatch::~TLockWatch()
{
    if (!m_entry || !watchdog().disarm(m_entry) || m_entry->abandoned)
        return;
    // A cancel that arrived as the statement finished on its own would otherwise be
    // kept by the engine for the connection's next call; a ping takes it.
    ISC_STATUS_ARRAY status {};
    fb_ping(status, &m_entry->attachment);
}

bool TLockWatch::fired() const { return m_entry && watchdog().fired(m_entry); }

bool TLockWatch::abandoned() const { return m_entry && watchdog().abandoned(m_entry); }
