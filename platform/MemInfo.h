#pragma once
// The kernel's memory figures (/proc/meminfo), for the about box's resource gauge.

#include <QString>
#include <QtGlobal>

namespace Platform {

struct MemInfo {
    quint64 totalPhysical = 0; // bytes of RAM
    quint64 availablePhysical = 0;
    // What the system can hand out: RAM and swap together, as a paging file added
    // to physical memory did.
    quint64 totalPageFile = 0;
    int memoryLoad = 0; // percent of RAM in use
};

// Reads the figures from a meminfo file; zeros where a line is missing.
MemInfo readMemInfo(const QString& path = QStringLiteral("/proc/meminfo"));

} // namespace Platform
