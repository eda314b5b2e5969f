#include "TAdminAliases.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminOutput.h"

#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"

#include <QFileInfo>

namespace {
const QString kServerName = QStringLiteral("SERVER NAME");

// The alias file must be one the programs use; otherwise nothing in it counts.
void requireTrustedFile()
{
    if (const QString why = TAliases::refusal(); !why.isEmpty())
        throw TAdminError::refused(why);
}

TAliases::Entry existing(const QString& name)
{
    requireTrustedFile();
    TAliases::Entry entry;
    if (!TAliases::entry(name, &entry))
        throw TAdminError::refused(QStringLiteral("There is no alias %1 in %2.").arg(name, TAliases::configFile()));
    return entry;
}

QVariant fileState(const TAliases::Entry& e)
{
    if (e.remote())
        return QStringLiteral("on server");
    return e.fileExists ? QStringLiteral("exists") : QStringLiteral("missing");
}

QVariant orNull(const QString& text) { return text.isEmpty() ? QVariant() : QVariant(text); }

// A location typed for this computer is kept as a full path, as create keeps it.
QString fullLocation(const QString& location)
{
    if (location.trimmed().isEmpty())
        throw TAdminError::usage(QStringLiteral("--location cannot be empty."));
    return TDatabase::isServerLocation(location) ? location : QFileInfo(location).absoluteFilePath();
}

// The location moved to another server (HOST or HOST/PORT), or to this computer when
// server is empty; the path stays.
QString onServer(const QString& location, const QString& server)
{
    const QString path = TFirebirdEnv::parseLocation(location).path;
    if (server.isEmpty())
        return QFileInfo(path).absoluteFilePath();
    const QString moved = server + QLatin1Char(':') + path;
    if (server.contains(QLatin1Char(':')) || TFirebirdEnv::parseLocation(moved).host != server.section('/', 0, 0))
        throw TAdminError::usage(QStringLiteral("--server takes HOST or HOST/PORT, not \"%1\".").arg(server));
    return moved;
}
} // namespace

namespace TAdminAliases {

void list(TAdminContext& c)
{
    requireTrustedFile();
    QList<QVariantList> rows;
    for (const TAliases::Entry& e : TAliases::entries())
        rows << QVariantList {e.name, e.where(), fileState(e), orNull(e.user), e.storesPassword};
    c.out().table({QStringLiteral("alias"), QStringLiteral("where"), QStringLiteral("file"), QStringLiteral("user"),
                   QStringLiteral("password_stored")},
                  rows);
}

void show(TAdminContext& c)
{
    const TAliases::Entry e = existing(c.arg(0));
    c.out().record(
        {QStringLiteral("alias"), QStringLiteral("type"), QStringLiteral("location"), QStringLiteral("where"),
         QStringLiteral("server"), QStringLiteral("port"), QStringLiteral("path"), QStringLiteral("file"),
         QStringLiteral("user"), QStringLiteral("password_stored"), QStringLiteral("alias_file")},
        {e.name, e.driverType, e.location, e.where(), orNull(e.host), e.port < 0 ? QVariant() : QVariant(e.port),
         e.path, fileState(e), orNull(e.user), e.storesPassword, TAliases::configFile()});
}

void set(TAdminContext& c)
{
    const QString name = c.arg(0);
    const bool location = c.isSet(QStringLiteral("location"));
    const bool server = c.isSet(QStringLiteral("server"));
    const bool user = c.isSet(QStringLiteral("user"));
    const bool forget = c.isSet(QStringLiteral("forget-password"));
    if (!location && !server && !user && !forget)
        throw TAdminError::usage(
            QStringLiteral("Give what to change: --location, --server, --user or --forget-password."));
    requireTrustedFile();
    TAliases::Entry before;
    const bool known = TAliases::entry(name, &before);
    QStringList params;
    if (known) {
        params = TAliases::params(name);
    } else {
        // A new alias, for a database that exists already (on a server, say).
        if (!location)
            throw TAdminError::refused(QStringLiteral("There is no alias %1 in %2; give --location to add it.")
                                           .arg(name, TAliases::configFile()));
        if (const QString problem = TAliases::nameProblem(name); !problem.isEmpty())
            throw TAdminError::refused(problem);
    }
    if (location)
        params = TAliases::withParam(params, kServerName, fullLocation(c.value(QStringLiteral("location"))));
    if (server) {
        const QString current = TAliases::paramValue(params, kServerName);
        if (current.isEmpty())
            throw TAdminError::refused(
                QStringLiteral("The alias %1 has no location to move; give --location.").arg(name));
        params = TAliases::withParam(params, kServerName, onServer(current, c.value(QStringLiteral("server"))));
    }
    if (user)
        params = TAliases::withParam(params, QStringLiteral("USER NAME"), c.value(QStringLiteral("user")));
    if (forget)
        params = TAliases::withoutParam(params, QStringLiteral("PASSWORD"));

    QString error;
    const bool saved = known ? TAliases::setParams(name, params, &error)
                             : TAliases::addAlias(name, QStringLiteral("INTRBASE"), params, &error);
    if (!saved)
        throw TAdminError::refused(error);
    const TAliases::Entry after = existing(name);
    QString text = QStringLiteral("%1 alias %2: %3")
                       .arg(known ? QStringLiteral("Changed") : QStringLiteral("Added"),
                            TAdminOutput::printable(after.name), TAdminOutput::printable(after.where()));
    if (!after.user.isEmpty())
        text += QStringLiteral(", user %1").arg(TAdminOutput::printable(after.user));
    text += after.storesPassword ? QStringLiteral(", password stored") : QStringLiteral(", no password stored");
    c.out().done(text, {{QStringLiteral("alias"), after.name},
                        {QStringLiteral("location"), after.location},
                        {QStringLiteral("user"), after.user},
                        {QStringLiteral("password_stored"), after.storesPassword}});
}

void remove(TAdminContext& c)
{
    const TAliases::Entry e = existing(c.arg(0));
    if (QString error; !TAliases::deleteAlias(e.name, &error))
        throw TAdminError::refused(error);
    c.out().done(QStringLiteral("Removed alias %1; the database %2 was not touched.")
                     .arg(TAdminOutput::printable(e.name), TAdminOutput::printable(e.where())),
                 {{QStringLiteral("alias"), e.name}, {QStringLiteral("location"), e.location}});
}

} // namespace TAdminAliases
