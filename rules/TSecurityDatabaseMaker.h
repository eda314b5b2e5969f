#pragma once
// TSecurityDatabaseMaker: makes a new security database, for SecDesk's New and
// jovsecadm create alike. Four steps, stopping at the first that fails: the database
// file (a local file copied from the prime database when one is given, else an empty
// database the engine creates, on this computer or through a server), the alias that
// names it, the connection to it, and the security tables with their indexes and the
// audit trail's tables (TSchema::build).
//
// A make that fails leaves what it made until takeBack(), so the caller can report
// the failure first; takeBack() closes the connection, removes the alias this make
// registered and drops the database file this make created, so the next try is not
// refused by a half-made database.
//
//     TSecurityDatabaseMaker maker(location, user, password);
//     maker.setNewAlias(alias, params);
//     if (!maker.make(connection)) { report(maker.failedStep(), maker.error()); maker.takeBack(connection, &why); }

#include <QString>
#include <QStringList>

class TDatabase;

class TSecurityDatabaseMaker {
public:
    enum class Step { None, File, Alias, Connection, Tables };

    // location: a local path or host[/port]:path; user and password: the account
    // that creates a database on a server (and owns it) or drops it again.
    TSecurityDatabaseMaker(const QString& location, const QString& user, const QString& password);

    // A local database starts as a copy of this file (the prime database).
    void setPrime(const QString& file) { m_prime = file; }
    // The alias registered for the database once its file is made; without one the
    // connection's alias must exist already.
    void setNewAlias(const QString& alias, const QStringList& params);

    // Makes the database; connection is set up by the caller (alias, database name,
    // account) and opened here. False when a step failed: failedStep() says which and
    // error() the engine's or the alias file's text (empty when there is none).
    bool make(TDatabase& connection);
    Step failedStep() const { return m_failed; }
    QString error() const { return m_error; }

    // Closes the connection and removes what this make made. False, with the
    // engine's text in error, when the database file could not be removed.
    bool takeBack(TDatabase& connection, QString* error = nullptr);

private:
    bool fail(Step step, const QString& error);

    QString m_location;
    QString m_user;
    QString m_password;
    QString m_prime;
    QString m_alias;
    QStringList m_aliasParams;
    bool m_fileMade = false;
    bool m_aliasAdded = false;
    Step m_failed = Step::None;
    QString m_error;
};
