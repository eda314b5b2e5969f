#include "platform/OsInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <pwd.h>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace Platform {

QString programDirectory()
{
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString windowsDirectory() { return QStringLiteral("/usr/lib"); }

QString systemDirectory()
{
#if defined(__x86_64__)
    const QString multiarch = QStringLiteral("/usr/lib/x86_64-linux-gnu");
#elif defined(__aarch64__)
    const QString multiarch = QStringLiteral("/usr/lib/aarch64-linux-gnu");
#else
    const QString multiarch = QStringLiteral("/lib");
#endif
    return QFileInfo(multiarch).isDir() ? multiarch : QStringLiteral("/lib");
}

QString searchPath(const QStringList& folders, const QString& fileName)
{
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        const QFileInfo candidate(QDir(folder), fileName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return QString();
}

QString netUserName()
{
    if (const passwd* pw = getpwuid(getuid()))
        if (pw->pw_name && *pw->pw_name)
            return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

MemoryStatus memoryStatus()
{
    MemoryStatus status;
    struct sysinfo info { };
    if (sysinfo(&info) == 0) {
        status.totalPhysical = quint64(info.totalram) * info.mem_unit;
        status.availablePhysical = quint64(info.freeram + info.bufferram) * info.mem_unit;
        if (status.totalPhysical > 0)
            status.memoryLoad = int(100 - (status.availablePhysical * 100) / status.totalPhysical);
    }
    return status;
}

} // namespace Platform
