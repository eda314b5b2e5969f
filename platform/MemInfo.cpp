#include "platform/MemInfo.h"

#include <QFile>
#include <QHash>

namespace Platform {

MemInfo readMemInfo(const QString& path)
{
    // Lines look like "MemTotal:       16318720 kB".
    QHash<QByteArray, quint64> kib;
    QFile file(path);
    // Files under /proc report a size of 0, so read to the end rather than to the size.
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray& line : lines) {
            const int colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QList<QByteArray> parts = line.mid(colon + 1).simplified().split(' ');
            bool ok = false;
            const quint64 value = parts.value(0).toULongLong(&ok);
            if (ok)
                kib.insert(line.left(colon), value);
        }
    }
    MemInfo info;
    info.totalPhysical = kib.value("MemTotal") * 1024;
    info.availablePhysical = kib.value("MemAvailable", kib.value("MemFree")) * 1024;
    info.totalPageFile = info.totalPhysical + kib.value("SwapTotal") * 1024;
    if (info.totalPhysical > 0 && info.availablePhysical <= info.totalPhysical)
        info.memoryLoad = int(100 - info.availablePhysical * 100 / info.totalPhysical);
    return info;
}

} // namespace Platform
