#include "database/TGarbageCollector.h"

#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"

#include <QThreadPool>

#include <memory>

namespace {
// Where the connection went, as a location the engine attaches to: a server's file is
// reached through that server, never opened as a local file of the same name.
QString locationOf(const QSqlDatabase& connection)
{
    if (connection.hostName().isEmpty())
        return connection.databaseName();
    QString server = connection.hostName();
    if (connection.port() > 0)
        server += QLatin1Char('/') + QString::number(connection.port());
    return server + QLatin1Char(':') + connection.databaseName();
}
} // namespace

std::future<QString> TGarbageCollector::start(const TDatabase& database, const QString& table)
{
    const QSqlDatabase connection = database.sqlDatabase();
    const QString location = locationOf(connection);
    const QString user = connection.userName();
    const QString password = connection.password();
    auto done = std::make_shared<std::promise<QString>>();
    std::future<QString> result = done->get_future();
    QThreadPool::globalInstance()->start([=] {
        QString error;
        if (!TFirebirdEnv::collectGarbage(location, user, password, table, &error) && error.isEmpty())
            error = QStringLiteral("The old versions of %1 could not be removed").arg(table);
        done->set_value(error);
    });
    return result;
}
