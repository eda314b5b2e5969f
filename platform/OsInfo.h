#pragma once
// Operating-system queries: program and system directories, the login name,
// memory status.

#include <QString>
#include <QStringList>

namespace Platform {

// Folder of the running executable, with a trailing separator.
QString programDirectory();
// Stand-ins for the old "Windows" and "system" directories: the platform's
// system library folders.
QString windowsDirectory();
QString systemDirectory();
// Searches the folders for a file name; returns its full path or an empty string.
QString searchPath(const QStringList& folders, const QString& fileName);

// The operating system's login name of the current user (the network user name).
QString netUserName();

struct MemoryStatus {
    quint64 totalPhysical = 0;
    quint64 availablePhysical = 0;
    int memoryLoad = 0; // percent in use
};
MemoryStatus memoryStatus();

} // namespace Platform
