#include "database/TAliases.h"

#include "database/TDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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

QStringList TAliases::aliasNames()
{
    QSettings settings(configFile(), QSettings::IniFormat);
    return settings.childGroups();
}

bool TAliases::exists(const QString& alias)
{
    QSettings settings(configFile(), QSettings::IniFormat);
    return !storedName(settings, alias).isEmpty();
}

bool TAliases::addAlias(const QString& alias, const QString& driverType, const QStringList& params)
{
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
    return saved(settings);
}

bool TAliases::deleteAlias(const QString& alias)
{
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString old = storedName(settings, alias);
    if (old.isEmpty())
        return true;
    settings.remove(old);
    return saved(settings);
}

QString TAliases::driverType(const QString& alias)
{
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    return name.isEmpty() ? QString() : settings.value(name + QLatin1Char('/') + kTypeKey).toString();
}

QStringList TAliases::params(const QString& alias)
{
    QSettings settings(configFile(), QSettings::IniFormat);
    const QString name = storedName(settings, alias);
    if (name.isEmpty())
        return {};
    return settings.value(name + QLatin1Char('/') + kParamsKey).toStringList();
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
