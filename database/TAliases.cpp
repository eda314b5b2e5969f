#include "database/TAliases.h"

#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <functional>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kTypeKey = QStringLiteral("Type");
const QString kParamsKey = QStringLiteral("Params");

// The stored spelling of an alias whose name matches without regard to case.
QString storedName(QSettings& settings, const QString& alias)
{
    const QStringList groups = settings.childGroups();
    for (const QString& group : groups)
        if (group.compare(alias, Qt::CaseInsensitive) == 0)
            return group;
    return QString();
}

// Makes the file (and its folder) before QSettings writes it: QSettings replaces the
// file by a new one that keeps the old one's permissions, so a file that exists with
// mode 0600 stays so.
void prepareOwnerOnlyFile(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QFile f(file);
    if (!f.exists() && f.open(QIODevice::WriteOnly))
        f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool saved(QSettings& settings)
{
    settings.sync();
    // A file written before this rule came in is narrowed too.
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return settings.status() == QSettings::NoError;
}

// A group whose only member is this user: the private group many systems give each
// user, which a umask of 002 makes folders writable for.
bool ownGroup(gid_t gid)
{
    const passwd* user = ::getpwuid(::geteuid());
    const group* g = ::getgrgid(gid);
    return user && g && user->pw_gid == gid && QByteArray(g->gr_name) == QByteArray(user->pw_name) &&
           (!g->gr_mem || !g->gr_mem[0]);
}

// Why a file or folder of the alias file cannot be trusted; empty when it can or
// does not exist.
QString untrusted(const QString& path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        return QStringLiteral("%1 belongs to another user (uid %2)").arg(path).arg(st.st_uid);
    if ((st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && !ownGroup(st.st_gid)))
        return QStringLiteral("other users can write to %1 (mode %2)")
            .arg(path, QString::number(st.st_mode & 07777, 8).rightJustified(4, QLatin1Char('0')));
    return QString();
}

QString nameOf(const QString& line)
{
    const int eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}
} // namespace

QString TAliases::configFile()
{
    const QString fromEnv = qEnvironmentVariable("JOVSEC_CONFIG");
    if (!fromEnv.isEmpty())
        return fromEnv;
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/JovSec/aliases.ini");
}

QString TAliases::refusal()
{
    const QString file = configFile();
    const QFileInfo info(file);
    // The folder that holds the file, and where a link leads, the folder of the file
    // itself.
    QStringList places {info.absolutePath(), info.absoluteFilePath()};
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty() && target != info.absoluteFilePath())
        places << QFileInfo(target).absolutePath();
    for (const QString& place : places) {
        const QString reason = untrusted(place);
        if (!reason.isEmpty())
            return QStringLiteral("The alias file %1 is not used: %2. Only you may write to it and its folder "
                                  "(chmod go-w), or another user could point your programs at a database of "
                                  "theirs.")
                .arg(file, reason);
    }
    return QString();
}

QString TAliases::nameProblem(const QString& alias)
{
    if (alias.trimmed().isEmpty())
        return QStringLiteral("An alias name cannot be empty or only blanks.");
    if (alias.contains(QLatin1Char('/')) || alias.contains(QLatin1Char('\\')))
        return QStringLiteral("The alias name \"%1\" cannot contain a slash (/ or \\).").arg(alias);
    return QString();
}

QStringList TAliases::aliasNames()
{
    if (!refusal().isEmpty())
        return {};
    QSettings settings(configFile(), QSettings::IniFormat);
    return settings.childGroups();
}

bool TAliases::exists(const QString& alias)
{
    if (!refusal().isEmpty())
        return false;
    QSettings settings(configFile(), QSettings::IniFormat);
    return !storedName(settings, alias).isEmpty();
}

bool TAliases::addAlias(const QString& alias, const QString& driverType, const QStringList& params, QString* error)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    message = nameProblem(alias);
    if (message.isEmpty())
        message = refusal();
    if (!message.isEmpty())
        return false;
    const QString file = configFile();
    prepareOwnerOnlyFile(file);
    QSettings settings(file, QSettings::IniFormat);
    const QString old = storedName(settings, alias);
    if (!old.isEmpty())
        settings.remove(old);
    settings.beginGroup(alias);
    settings.setValue(kTypeKey, driverType);
    settings.setValue(kParamsKey, params);
    settings.endGroup();
    if (saved(settings))
        return true;
    message = QStringLiteral("Cannot save the alias file %1.").arg(file);
    return false;
}

bool TAliases::deleteAlias(const QString& alias, QString* error)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    message = refusal();
    if (!message.isEmpty())
        return false;
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString old = storedName(settings, alias);
    if (old.isEmpty())
        return true;
    settings.remove(old);
    if (saved(settings))
        return true;
    message = QStringLiteral("Cannot save the alias file %1.").arg(configFile());
    return false;
}

namespace {
// Changes the entry of an alias that exists and saves the file; false, with the
// reason in error, when the file is not trusted, the alias is missing or the file
// cannot be saved.
bool changeEntry(const QString& alias, QString* error, const std::function<void(QSettings&, const QString&)>& change)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    message = TAliases::refusal();
    if (!message.isEmpty())
        return false;
    QSettings settings(TAliases::configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    if (name.isEmpty()) {
        message = QStringLiteral("There is no alias %1 in %2.").arg(alias, TAliases::configFile());
        return false;
    }
    change(settings, name);
    if (saved(settings))
        return true;
    message = QStringLiteral("Cannot save the alias file %1.").arg(TAliases::configFile());
    return false;
}
} // namespace

bool TAliases::setParams(const QString& alias, const QStringList& params, QString* error)
{
    return changeEntry(alias, error, [&](QSettings& settings, const QString& name) {
        settings.setValue(name + QLatin1Char('/') + kParamsKey, params);
    });
}

QString TAliases::driverType(const QString& alias)
{
    if (!refusal().isEmpty())
        return QString();
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    return name.isEmpty() ? QString() : settings.value(name + QLatin1Char('/') + kTypeKey).toString();
}

QStringList TAliases::params(const QString& alias)
{
    if (!refusal().isEmpty())
        return {};
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    if (name.isEmpty())
        return {};
    return settings.value(name + QLatin1Char('/') + kParamsKey).toStringList();
}

QVariantMap TAliases::settings(const QString& alias, const QString& group)
{
    QVariantMap values;
    if (!refusal().isEmpty())
        return values;
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    if (name.isEmpty())
        return values;
    settings.beginGroup(name + QLatin1Char('/') + group);
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

bool TAliases::setSettings(const QString& alias, const QString& group, const QVariantMap& values, QString* error)
{
    return changeEntry(alias, error, [&](QSettings& settings, const QString& name) {
        settings.beginGroup(name + QLatin1Char('/') + group);
        settings.remove(QString());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.endGroup();
    });
}

QStringList TAliases::databaseNames()
{
    QStringList names = aliasNames();
    names += TDatabase::connectionNames();
    names.sort(Qt::CaseInsensitive);
    QStringList unique;
    for (const QString& name : names)
        if (unique.isEmpty() || unique.last().compare(name, Qt::CaseInsensitive) != 0)
            unique << name;
    return unique;
}

QString TAliases::paramValue(const QStringList& params, const QString& name)
{
    for (const QString& line : params)
        if (nameOf(line).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(line.indexOf(QLatin1Char('=')) + 1);
    return QString();
}

bool TAliases::hasParam(const QStringList& params, const QString& name)
{
    for (const QString& line : params)
        if (nameOf(line).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QStringList TAliases::withParam(const QStringList& params, const QString& name, const QString& value)
{
    QStringList result = params;
    const QString line = name + QLatin1Char('=') + value;
    for (QString& existing : result)
        if (nameOf(existing).compare(name, Qt::CaseInsensitive) == 0) {
            existing = line;
            return result;
        }
    result << line;
    return result;
}

QStringList TAliases::withoutParam(const QStringList& params, const QString& name)
{
    QStringList result;
    for (const QString& line : params)
        if (nameOf(line).compare(name, Qt::CaseInsensitive) != 0)
            result << line;
    return result;
}

QString TAliases::Entry::where() const
{
    if (location.isEmpty())
        return QStringLiteral("nowhere (no SERVER NAME)");
    if (!remote())
        return QStringLiteral("%1 on this computer").arg(path);
    return port < 0 ? QStringLiteral("%1 on server %2").arg(path, host)
                    : QStringLiteral("%1 on server %2, port %3").arg(path, host).arg(port);
}

bool TAliases::entry(const QString& alias, Entry* entry)
{
    if (!refusal().isEmpty())
        return false;
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    if (name.isEmpty())
        return false;
    const QStringList list = settings.value(name + QLatin1Char('/') + kParamsKey).toStringList();
    Entry e;
    e.name = name;
    e.driverType = settings.value(name + QLatin1Char('/') + kTypeKey).toString();
    e.location = paramValue(list, QStringLiteral("SERVER NAME")).trimmed();
    const TFirebirdEnv::Location where = TFirebirdEnv::parseLocation(e.location);
    e.host = where.host;
    e.port = where.port;
    e.path = where.path;
    e.user = paramValue(list, QStringLiteral("USER NAME"));
    e.storesPassword = !paramValue(list, QStringLiteral("PASSWORD")).isEmpty();
    e.fileExists = !e.remote() && !e.path.isEmpty() && QFileInfo::exists(e.path);
    *entry = e;
    return true;
}

QList<TAliases::Entry> TAliases::entries()
{
    QStringList names = aliasNames();
    names.sort(Qt::CaseInsensitive);
    QList<Entry> list;
    for (const QString& name : names)
        if (Entry e; entry(name, &e))
            list << e;
    return list;
}
