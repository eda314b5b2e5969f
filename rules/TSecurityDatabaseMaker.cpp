#include "rules/TSecurityDatabaseMaker.h"

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TSchema.h"

#include <QFile>

TSecurityDatabaseMaker::TSecurityDatabaseMaker(const QString& location, const QString& user, const QString& password)
    : m_location(location), m_user(user), m_password(password)
{ }

void TSecurityDatabaseMaker::setNewAlias(const QString& alias, const QStringList& params)
{
    m_alias = alias;
    m_aliasParams = params;
}

bool TSecurityDatabaseMaker::fail(Step step, const QString& error)
{
    m_failed = step;
    m_error = error;
    return false;
}

bool TSecurityDatabaseMaker::make(TDatabase& connection)
{
    m_failed = Step::None;
    m_error.clear();
    QString error;
    // A server creates the file itself; a local file is a copy of the prime database
    // when there is one. Either is owner-only: it holds the users' passwords.
    const bool copy = !m_prime.isEmpty() && !TDatabase::isServerLocation(m_location);
    if (!(copy ? TFirebirdEnv::copyDatabase(m_prime, m_location, &error)
               : TFirebirdEnv::createDatabase(m_location, m_user, m_password, &error)))
        return fail(Step::File, error);
    m_fileMade = true;

    if (!m_alias.isEmpty()) {
        if (!TAliases::addAlias(m_alias, QStringLiteral("INTRBASE"), m_aliasParams, &error))
            return fail(Step::Alias, error);
        m_aliasAdded = true;
    }

    try {
        connection.open();
    } catch (const EDatabaseError& e) {
        return fail(Step::Connection, e.message());
    }
    if (TSchema::build(connection.databaseName(), &error) >= 0)
        return fail(Step::Tables, error);
    return true;
}

bool TSecurityDatabaseMaker::takeBack(TDatabase& connection, QString* error)
{
    try {
        connection.close();
        TDatabase::dropTemporaryConnections();
    } catch (const EDatabaseError&) { }
    if (m_aliasAdded)
        TAliases::deleteAlias(m_alias);
    m_aliasAdded = false;
    if (!m_fileMade)
        return true;
    // The engine drops a database it can attach; a local file it cannot (a copy it
    // does not take for a database) is simply removed.
    QString dropError;
    const bool dropped = TFirebirdEnv::dropDatabase(m_location, m_user, m_password, &dropError) ||
                         (!TDatabase::isServerLocation(m_location) && QFile::remove(m_location));
    if (dropped)
        m_fileMade = false;
    else if (error)
        *error = dropError;
    return dropped;
}
