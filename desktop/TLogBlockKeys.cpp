#include "desktop/TLogBlockKeys.h"

#include "database/TLockWatch.h"

#include <QMetaObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <ibase.h>

#include <atomic>

struct TLogBlockKeys::Shared {
    std::atomic<bool> finished = false;
    // Written by the pass's thread before it posts them (or ends), read after that.
    std::vector<qint64> keys;
    bool complete = false;
    // On the receiver's thread only.
    bool stopped = false;
    bool delivered = false;
    Done done;

    void deliver()
    {
        if (stopped || delivered || !complete)
            return;
        delivered = true;
        done(std::move(keys));
    }
};

namespace {

// Where the pass connects: the settings of the viewer's own connection, copied on
// its thread, for the pass's thread to open a connection of its own with (a Qt
// connection belongs to the thread that opened it).
struct Source {
    QString host;
    int port = -1;
    QString path;
    QString user;
    QString password;
    QString options;
    std::shared_ptr<const TLockWatch::Server> server;
};

Source sourceOf(const QSqlDatabase& connection)
{
    Source source {connection.hostName(),
                   connection.port(),
                   connection.databaseName(),
                   connection.userName(),
                   connection.password(),
                   connection.connectOptions(),
                   nullptr};
    if (!source.host.isEmpty()) {
        const QString port = source.port > 0 ? QStringLiteral("/%1").arg(source.port) : QString();
        source.server =
            TLockWatch::server(source.host + port + QLatin1Char(':') + source.path, source.user, source.password);
    }
    return source;
}

// Reads every key of sql on the open connection db; false when stopped or failed. A
// stop request cancels the engine's current call, from the thread that asks for it.
bool readOpen(const QSqlDatabase& db, const Source& source, const QString& sql, std::stop_token stop,
              std::vector<qint64>& keys)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || !handle.constData())
        return false;
    isc_db_handle attachment = *static_cast<const isc_db_handle*>(handle.constData());
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool complete = false;
    {
        // Its destructor waits for a cancel under way, so none reaches the
        // connection once it is being closed.
        const std::stop_callback cancel(stop, [attachment]() mutable {
            ISC_STATUS_ARRAY status {};
            fb_cancel_operation(status, &attachment, fb_cancel_raise);
        });
        // On a server connection, a server that stops answering ends the read.
        const TLockWatch watch(db, 0, source.server);
        if (!stop.stop_requested() && q.exec(sql)) {
            while (!stop.stop_requested() && q.next())
                keys.push_back(q.value(0).toLongLong());
            complete = !stop.stop_requested() && !q.lastError().isValid();
        }
    }
    // A cancel that arrived as the statement ended would be kept for the connection's
    // next call, the end of its transaction: a ping takes it.
    ISC_STATUS_ARRAY status {};
    fb_ping(status, &attachment);
    q.clear();
    return complete;
}

bool readKeys(const Source& source, const QString& sql, std::stop_token stop, std::vector<qint64>& keys)
{
    static std::atomic<int> passes = 0;
    const QString name = QStringLiteral("jovsec-log-keys-%1").arg(++passes);
    bool complete = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name);
        db.setHostName(source.host);
        db.setPort(source.port);
        db.setDatabaseName(source.path);
        db.setUserName(source.user);
        db.setPassword(source.password);
        db.setConnectOptions(source.options);
        if (!stop.stop_requested() && db.open())
            complete = readOpen(db, source, sql, stop, keys);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return complete;
}

} // namespace

TLogBlockKeys::TLogBlockKeys(const QSqlDatabase& connection, const QString& sql, QObject* receiver, Done done)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->done = std::move(done);
    m_thread = std::jthread([shared = m_shared, source = sourceOf(connection), sql, receiver](std::stop_token stop) {
        shared->complete = readKeys(source, sql, stop, shared->keys);
        if (shared->complete)
            // The receiver outlives the pass (it stops the pass before it goes), and a
            // call posted to it goes with it.
            QMetaObject::invokeMethod(
                receiver, [shared] { shared->deliver(); }, Qt::QueuedConnection);
        shared->finished = true;
    });
}

TLogBlockKeys::~TLogBlockKeys() { stop(); }

void TLogBlockKeys::stop()
{
    m_shared->stopped = true;
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void TLogBlockKeys::finish()
{
    if (m_thread.joinable())
        m_thread.join();
    m_shared->deliver();
}

bool TLogBlockKeys::running() const { return !m_shared->finished; }
