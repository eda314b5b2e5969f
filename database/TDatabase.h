#pragma once
// A named connection to a security database. Record sets and statements name the
// database they work on; the name finds an open named connection, or else an alias,
// for which the layer opens a temporary connection that stays until it is dropped.
//
// SERVER NAME holds the location: a local path opens the file with the embedded
// engine, host:path or host/port:path reaches a Firebird server.
//
// A local file is opened only when it belongs to the program's effective user: the
// programs of other users (root included) keep lock tables of their own, and two lock
// tables on one file damage it. Sharing between users goes through a server. While it
// is open, a write is reported as done only when the file at the path is still the
// one opened (not deleted or replaced meanwhile).
//
// Every call on a server connection is bounded (see TLockWatch): a server that stops
// answering ends the call with a failure within about ten seconds.

#include "database/EDatabaseError.h"
#include "database/TLockWatch.h"

#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class TPreparedStatement;

class TDatabase : public QObject {
    Q_OBJECT
public:
    using LoginPromptHandler = std::function<bool(const QString& databaseName, QString& userName, QString& password)>;

    explicit TDatabase(QObject* owner = nullptr);
    ~TDatabase() override;

    QString aliasName() const { return m_aliasName; }
    void setAliasName(const QString& alias);
    // The name under which record sets find this connection.
    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name);
    QStringList params() const { return m_params; }
    void setParams(const QStringList& params);
    void addParam(const QString& line) { m_params << line; }
    bool loginPrompt() const { return m_loginPrompt; }
    void setLoginPrompt(bool on) { m_loginPrompt = on; }

    // Throws EDatabaseError with the engine's text, or with the reason a local file
    // is refused.
    void open();
    void close();
    bool connected() const;

    bool inTransaction() const { return m_inTransaction; }
    // Which of this connection's transactions through Qt's driver started last: a
    // statement Qt's driver prepared in one runs in no other.
    quint64 transactionNumber() const { return m_transactionNumber; }
    void startTransaction();
    void commit();
    void rollback();

    // Runs work in a transaction of the layer's own on this connection, apart from Qt's
    // driver, in which runPrepared(sql, ...) runs statements prepared once on the
    // connection and kept until it closes (see TPreparedStatement). Retried like
    // TTransaction::run: tries in all against concurrent writers, and once more on a
    // connection that broke and was reopened. Throws EDatabaseError.
    void runPrepared(const std::function<void()>& work, int tries);
    // Runs a statement of that kind in that transaction (one must be running) with the
    // values for its "?"; returns the row it answers with (RETURNING), if any.
    QVariantList runPrepared(const QString& sql, const QVariantList& values = {});

    // Runs one unit of work against this connection and gets it past passing trouble:
    // - a concurrent writer that updated the same row (an update conflict or a
    //   deadlock) makes the work run again after a short pause, a bounded number of
    //   times; inside a transaction the whole transaction must run again instead
    //   (TTransaction::run), so the failure is passed on marked as a conflict;
    // - a connection that broke under the work (the server restarted) is reopened
    //   and the work runs once more; inside a transaction, which the break has
    //   ended, the failure is passed on marked as broken;
    // - on a server that stops answering, the work fails (see TLockWatch) and the
    //   connection is closed, to be opened again by the next work.
    // Work outside a transaction, which commits on its own, fails when the local file
    // was deleted or replaced meanwhile.
    // work throws EDatabaseError; the last failure is passed on.
    void perform(const std::function<void()>& work);
    // Sorts out a failure of work on this connection: reopens a broken connection
    // and marks the failure Broken, Conflict or Engine. Returns the reason.
    EDatabaseError::Reason recover(EDatabaseError& failure);
    // Waits a short, growing and slightly random while before a conflict's next try,
    // so that writers that collided do not collide again at once.
    static void pauseAfterConflict(int attempt);
    // The tries a unit of work gets against concurrent writers.
    static constexpr int kConflictAttempts = 30;

    // How long a statement that changes rows, or reads rows to lock them, waits for a
    // row that another transaction holds (a program stopped in the middle of its
    // write, a frozen peer) before it gives up; 0 waits as long as it takes.
    int lockTimeout() const { return m_lockTimeout; }
    void setLockTimeout(int milliseconds) { m_lockTimeout = milliseconds; }
    // What new connections start with.
    static int defaultLockTimeout();
    static void setDefaultLockTimeout(int milliseconds);
    static constexpr int kLockTimeout = 10000;
    // perform() for work that may wait on another transaction's row: each try waits at
    // most lockTimeout(), then fails marked LockTimeout with the engine's own words
    // for it, and is not tried again.
    void performWaiting(const std::function<void()>& work);

    bool isTemporary() const { return m_temporary; }
    // The parameters in effect: the alias's, with those given here replacing them.
    QStringList effectiveParams() const;

    QSqlDatabase sqlDatabase() const;

    // The named connections registered now (open or not).
    static QStringList connectionNames();
    static TDatabase* find(const QString& databaseName);
    // The connection for a database name: a named connection (opened if closed) or a
    // temporary one for an alias of that name. Throws EDatabaseError.
    static TDatabase* connectionFor(const QString& databaseName);
    // Closes and frees temporary connections that no record set uses.
    static void dropTemporaryConnections();

    static void setLoginPromptHandler(LoginPromptHandler handler);

    // Whether a SERVER NAME reaches a Firebird server (host:path or host/port:path)
    // rather than naming a local file.
    static bool isServerLocation(const QString& serverName);

    // Record sets tell their connection while they hold it.
    void attach() { ++m_users; }
    void detach() { --m_users; }

private:
    // Runs work under a watch: the lock timeout when lockTimeout > 0, and on a server
    // connection the check that the server still answers.
    void performWatched(const std::function<void()>& work, int lockTimeout);
    void watched(const std::function<void()>& work, int lockTimeout);
    // Refuses a local file of another user; notes which file was opened.
    void checkLocalFile(const QString& path);
    // Throws EDatabaseError (and closes the connection) when the local file opened is
    // no longer the one at its path.
    void checkFileInPlace();
    // Whether the engine still answers on the open connection.
    bool alive() const;
    // Closes a broken connection and opens it again with the same settings.
    bool reopen();

    QString m_aliasName;
    QString m_databaseName;
    QStringList m_params;
    bool m_loginPrompt = true;
    bool m_temporary = false;
    bool m_inTransaction = false;
    quint64 m_transactionNumber = 0;
    int m_users = 0;
    int m_lockTimeout = defaultLockTimeout();
    QString m_connectionName;
    // The server of a server connection, for the watch.
    std::shared_ptr<const TLockWatch::Server> m_server;
    // The transaction of runPrepared() and the statements prepared for it.
    unsigned int m_ownTransaction = 0;
    std::map<QString, std::unique_ptr<TPreparedStatement>> m_prepared;
    // The local file opened: its path and identity.
    QString m_filePath;
    quint64 m_fileDevice = 0;
    quint64 m_fileInode = 0;
};
