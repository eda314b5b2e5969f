#include "database/TDatabase.h"

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TEngineLifetime.h"
#include "database/TFirebirdEnv.h"
#include "database/TLockWatch.h"
#include "database/TPreparedStatement.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <ibase.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QList<TDatabase*>& registry()
{
    static QList<TDatabase*> list;
    return list;
}
TDatabase::LoginPromptHandler& promptHandler()
{
    static TDatabase::LoginPromptHandler handler;
    return handler;
}
int g_connectionCounter = 0;
int g_defaultLockTimeout = TDatabase::kLockTimeout;

// Another transaction changed or holds the row this work wanted to change.
bool isConflict(const QString& engineText)
{
    static const QRegularExpression conflict(
        QStringLiteral("update conflicts with concurrent update|deadlock|lock conflict on no wait"),
        QRegularExpression::CaseInsensitiveOption);
    return conflict.match(engineText).hasMatch();
}

QString serverSilent(const QString& location)
{
    return QStringLiteral("The Firebird server of %1 did not answer for %2 seconds; the connection to it was "
                          "given up, and the work it was doing is not known to be done.")
        .arg(location)
        .arg(2 * TLockWatch::kServerCheck.count());
}
} // namespace

TDatabase::TDatabase(QObject* owner) : QObject(owner)
{
    m_connectionName = QStringLiteral("jovsec_%1").arg(++g_connectionCounter);
    registry().append(this);
}

TDatabase::~TDatabase()
{
    close();
    registry().removeAll(this);
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void TDatabase::setAliasName(const QString& alias) { m_aliasName = alias; }

void TDatabase::setDatabaseName(const QString& name) { m_databaseName = name; }

void TDatabase::setParams(const QStringList& params) { m_params = params; }

QStringList TDatabase::effectiveParams() const
{
    QStringList result = TAliases::params(m_aliasName.isEmpty() ? m_databaseName : m_aliasName);
    for (const QString& line : m_params) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue; // a line without "=" has no effect
        const QString name = line.left(eq).trimmed();
        // The account given here counts even when the alias names none.
        const bool isAccount = name.compare(QLatin1String("PASSWORD"), Qt::CaseInsensitive) == 0 ||
                               name.compare(QLatin1String("USER NAME"), Qt::CaseInsensitive) == 0;
        bool replaced = false;
        for (QString& existing : result) {
            const int e = existing.indexOf(QLatin1Char('='));
            if (e >= 0 && existing.left(e).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
                existing = line;
                replaced = true;
            }
        }
        if (!replaced && isAccount)
            result << line;
    }
    return result;
}

void TDatabase::open()
{
    if (connected())
        return;
    const QString alias = m_aliasName.isEmpty() ? m_databaseName : m_aliasName;
    const QString refused = TAliases::refusal();
    if (!refused.isEmpty())
        throw EDatabaseError(refused);
    if (!TAliases::exists(alias))
        throw EDatabaseError(QStringLiteral("Alias not found: %1").arg(alias));
    const QString driver = TAliases::driverType(alias);
    if (!driver.isEmpty() && driver.compare(QLatin1String("INTRBASE"), Qt::CaseInsensitive) != 0)
        throw EDatabaseError(QStringLiteral("Unsupported driver type: %1").arg(driver));

    const QStringList params = effectiveParams();
    QString user = TAliases::paramValue(params, QStringLiteral("USER NAME"));
    QString password = TAliases::paramValue(params, QStringLiteral("PASSWORD"));
    if (m_loginPrompt) {
        if (!promptHandler() || !promptHandler()(m_databaseName, user, password))
            throw EDatabaseError(QStringLiteral("Login cancelled for database %1").arg(m_databaseName),
                                 EDatabaseError::Reason::Cancelled);
    }
    if (user.isEmpty())
        user = QStringLiteral("SYSDBA");
    const QString serverName = TAliases::paramValue(params, QStringLiteral("SERVER NAME"));
    if (serverName.isEmpty())
        throw EDatabaseError(QStringLiteral("No SERVER NAME given for alias %1").arg(alias));

    // A local file needs the private engine folder; a server does not.
    const TFirebirdEnv::Location loc = TFirebirdEnv::parseLocation(serverName);
    if (!TFirebirdEnv::prepare() && !loc.isRemote())
        throw EDatabaseError(TFirebirdEnv::refusal(), EDatabaseError::Reason::Unavailable);
    m_server = loc.isRemote() ? TLockWatch::server(serverName, user, password) : nullptr;
    m_filePath.clear();
    if (!loc.isRemote())
        checkLocalFile(loc.path);
    // A local file is opened only once the engine has let a first attachment in
    // within the start-up limit: a program stopped while it held the engine would
    // otherwise keep this one waiting as long as it stays stopped.
    std::unique_ptr<TEngineLifetime::AttachGate> gate;
    if (!loc.isRemote())
        gate = std::make_unique<TEngineLifetime::AttachGate>(loc.path, user, password);
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), m_connectionName);
    if (!db.isValid())
        throw EDatabaseError(QStringLiteral("The Firebird driver (QIBASE) is not available"));
    db.setHostName(loc.host);
    db.setPort(loc.port);
    db.setDatabaseName(loc.path);
    db.setUserName(user);
    db.setPassword(password);
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    if (!db.open()) {
        const QString text = db.lastError().text();
        db.close();
        throw EDatabaseError(text);
    }
    TEngineLifetime::engineStarted();
    // A file swapped for another between the check and the engine's open.
    checkFileInPlace();
}

void TDatabase::checkLocalFile(const QString& path)
{
    // The file opened, not its name: a link to another user's file is that file.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return; // the engine says why it cannot open it
    struct stat st { };
    const bool known = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!known)
        return;
    if (st.st_uid != ::geteuid())
        throw EDatabaseError(
            QStringLiteral("The database file %1 belongs to another user (uid %2) and this program runs as uid %3. "
                           "A local database file can be opened only by the programs of the user who owns it: "
                           "programs of other users would damage it. To share a database between users, put it "
                           "on a Firebird server (SERVER NAME=host:path).")
                .arg(path)
                .arg(st.st_uid)
                .arg(::geteuid()));
    m_filePath = path;
    m_fileDevice = st.st_dev;
    m_fileInode = st.st_ino;
}

void TDatabase::checkFileInPlace()
{
    if (m_filePath.isEmpty())
        return;
    struct stat st { };
    if (::stat(QFile::encodeName(m_filePath).constData(), &st) == 0 && st.st_dev == m_fileDevice &&
        st.st_ino == m_fileInode)
        return;
    const QString path = m_filePath;
    close();
    throw EDatabaseError(QStringLiteral("The database file %1 was deleted or replaced while this program had it "
                                        "open: what was written since went to the old file and is lost. Open "
                                        "the database again.")
                             .arg(path));
}

void TDatabase::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        m_inTransaction = false;
        return;
    }
    // A server that stopped answering is given up on here too.
    TLockWatch watch(db, 0, m_server);
    if (m_ownTransaction) {
        ISC_STATUS_ARRAY status {};
        isc_rollback_transaction(status, &m_ownTransaction);
        m_ownTransaction = 0;
        m_inTransaction = false;
    }
    if (m_inTransaction) {
        db.rollback();
        m_inTransaction = false;
    }
    // Prepared statements belong to the attachment that closes now.
    m_prepared.clear();
    db.close();
}

bool TDatabase::connected() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

void TDatabase::startTransaction()
{
    if (!connected())
        open();
    perform([this] {
        QSqlDatabase db = sqlDatabase();
        if (!db.transaction())
            throw EDatabaseError(db.lastError().text());
    });
    ++m_transactionNumber;
    m_inTransaction = true;
}

bool TDatabase::alive() const
{
    const QSqlDatabase db = sqlDatabase();
    if (!db.isOpen() || !db.driver())
        return false;
    QVariant handle = db.driver()->handle();
    if (!handle.isValid() || !handle.data())
        return false;
    // A copy of the driver's handle: the ping must not change the driver's own.
    isc_db_handle attachment = *static_cast<const isc_db_handle*>(handle.constData());
    ISC_STATUS_ARRAY status {};
    TLockWatch watch(db, 0, m_server);
    return fb_ping(status, &attachment) == 0;
}

bool TDatabase::reopen()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return false;
    close(); // drops the transaction the break has ended
    QSqlDatabase db = sqlDatabase();
    if (!db.open())
        return false;
    if (!m_filePath.isEmpty()) {
        // The file at the path now is the one open.
        try {
            checkLocalFile(m_filePath);
        } catch (const EDatabaseError&) {
            db.close();
            return false;
        }
    }
    return true;
}

EDatabaseError::Reason TDatabase::recover(EDatabaseError& failure)
{
    using Reason = EDatabaseError::Reason;
    if (failure.reason() != Reason::Unknown)
        return failure.reason();
    if (connected() && !alive()) {
        // Whether or not it opens again now, the next piece of work finds out.
        reopen();
        failure.setReason(Reason::Broken);
    } else if (isConflict(failure.message())) {
        failure.setReason(Reason::Conflict);
    } else {
        failure.setReason(Reason::Engine);
    }
    return failure.reason();
}

void TDatabase::pauseAfterConflict(int attempt)
{
    const int most = std::min(5 + 10 * attempt, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(QRandomGenerator::global()->bounded(1, most + 1)));
}

void TDatabase::perform(const std::function<void()>& work)
{
    performWatched(work, 0);
    // Work outside a transaction has committed on its own; it is done only if it
    // went to the file at the path.
    if (!m_inTransaction)
        checkFileInPlace();
}

void TDatabase::performWatched(const std::function<void()>& work, int lockTimeout)
{
    using Reason = EDatabaseError::Reason;
    bool reopened = false;
    for (int attempt = 1;; ++attempt) {
        const bool inTransaction = m_inTransaction;
        try {
            watched(work, lockTimeout);
            return;
        } catch (EDatabaseError& failure) {
            const Reason reason = recover(failure);
            if (inTransaction)
                throw;
            if (reason == Reason::Broken && !reopened && connected()) {
                reopened = true;
                continue;
            }
            if (reason == Reason::Conflict && attempt < kConflictAttempts) {
                pauseAfterConflict(attempt);
                continue;
            }
            throw;
        }
    }
}

int TDatabase::defaultLockTimeout() { return g_defaultLockTimeout; }

void TDatabase::setDefaultLockTimeout(int milliseconds) { g_defaultLockTimeout = milliseconds; }

void TDatabase::performWaiting(const std::function<void()>& work)
{
    performWatched(work, m_lockTimeout);
    if (!m_inTransaction)
        checkFileInPlace();
}

void TDatabase::watched(const std::function<void()>& work, int lockTimeout)
{
    bool fired = false;
    bool abandoned = false;
    {
        TLockWatch watch(sqlDatabase(), lockTimeout, m_server);
        try {
            work();
            return;
        } catch (const EDatabaseError&) {
            fired = watch.fired();
            abandoned = watch.abandoned();
            if (!fired && !abandoned)
                throw;
        }
    }
    if (abandoned) {
        // The aborted connection is closed at once (the client does not ask the
        // server); the next work opens it again.
        close();
        throw EDatabaseError(serverSilent(QString::fromUtf8(m_server->location)), EDatabaseError::Reason::Engine);
    }
    throw EDatabaseError(QStringLiteral("lock time-out on wait transaction"), EDatabaseError::Reason::LockTimeout);
}

void TDatabase::commit()
{
    m_inTransaction = false;
    watched(
        [this] {
            QSqlDatabase db = sqlDatabase();
            if (!db.commit())
                throw EDatabaseError(db.lastError().text());
        },
        0);
    checkFileInPlace();
}

void TDatabase::rollback()
{
    m_inTransaction = false;
    watched(
        [this] {
            QSqlDatabase db = sqlDatabase();
            if (!db.rollback())
                throw EDatabaseError(db.lastError().text());
        },
        0);
}

void TDatabase::runPrepared(const std::function<void()>& work, int tries)
{
    using Reason = EDatabaseError::Reason;
    if (m_inTransaction)
        throw EDatabaseError(QStringLiteral("A transaction runs on the connection already."));
    bool reopened = false;
    for (int attempt = 1;; ++attempt) {
        try {
            if (!connected())
                open();
            const QVariant handle = sqlDatabase().driver()->handle();
            isc_db_handle attachment = *static_cast<const isc_db_handle*>(handle.constData());
            watched(
                [&] {
                    ISC_STATUS_ARRAY status {};
                    if (isc_start_transaction(status, &m_ownTransaction, 1, &attachment, 0, nullptr))
                        throw EDatabaseError(TFirebirdEnv::statusText(status));
                },
                0);
            m_inTransaction = true;
            work();
            m_inTransaction = false;
            watched(
                [&] {
                    ISC_STATUS_ARRAY status {};
                    if (isc_commit_transaction(status, &m_ownTransaction))
                        throw EDatabaseError(TFirebirdEnv::statusText(status));
                },
                0);
            m_ownTransaction = 0;
            checkFileInPlace();
            return;
        } catch (EDatabaseError& failure) {
            m_inTransaction = false;
            if (m_ownTransaction) {
                ISC_STATUS_ARRAY status {};
                isc_rollback_transaction(status, &m_ownTransaction);
                m_ownTransaction = 0;
            }
            const Reason reason = recover(failure);
            if (reason == Reason::Broken && !reopened && connected()) {
                reopened = true;
                continue;
            }
            if (reason == Reason::Conflict && attempt < tries) {
                pauseAfterConflict(attempt);
                continue;
            }
            throw;
        }
    }
}

QVariantList TDatabase::runPrepared(const QString& sql, const QVariantList& values)
{
    if (!m_ownTransaction)
        throw EDatabaseError(QStringLiteral("No transaction runs for the statement: %1").arg(sql));
    std::unique_ptr<TPreparedStatement>& statement = m_prepared[sql];
    if (!statement) {
        const QVariant handle = sqlDatabase().driver()->handle();
        statement = std::make_unique<TPreparedStatement>(*static_cast<const isc_db_handle*>(handle.constData()), sql);
    }
    return statement->run(m_ownTransaction, values);
}

QSqlDatabase TDatabase::sqlDatabase() const { return QSqlDatabase::database(m_connectionName, false); }

QStringList TDatabase::connectionNames()
{
    QStringList names;
    for (TDatabase* db : registry())
        if (!db->m_temporary && !db->m_databaseName.isEmpty())
            names << db->m_databaseName;
    return names;
}

TDatabase* TDatabase::find(const QString& databaseName)
{
    // Named connections win over temporary ones of the same name.
    TDatabase* temporary = nullptr;
    for (TDatabase* db : registry()) {
        if (db->m_databaseName.compare(databaseName, Qt::CaseInsensitive) != 0)
            continue;
        if (!db->m_temporary)
            return db;
        temporary = db;
    }
    return temporary;
}

TDatabase* TDatabase::connectionFor(const QString& databaseName)
{
    if (databaseName.isEmpty())
        throw EDatabaseError(QStringLiteral("No database name given"));
    TDatabase* db = find(databaseName);
    if (!db) {
        db = new TDatabase();
        db->m_temporary = true;
        db->setAliasName(databaseName);
        db->setDatabaseName(databaseName);
        db->setLoginPrompt(false);
    }
    try {
        db->open();
    } catch (...) {
        if (db->m_temporary && db->m_users == 0)
            delete db;
        throw;
    }
    return db;
}

void TDatabase::dropTemporaryConnections()
{
    const QList<TDatabase*> all = registry();
    for (TDatabase* db : all)
        if (db->m_temporary && db->m_users <= 0)
            delete db;
}

void TDatabase::setLoginPromptHandler(LoginPromptHandler handler) { promptHandler() = std::move(handler); }

bool TDatabase::isServerLocation(const QString& serverName)
{
    return TFirebirdEnv::parseLocation(serverName).isRemote();
}
