// The crash report's "memory info" section: the machine's memory and this process's address
// space, read afresh on every read (from /proc). A value that cannot be read is 0.
#pragma once

#include "client/CrashHandler.h"

#include <QtGlobal>

class TMemoryInfo
{
public:
    static inline const QString SectionName = QStringLiteral("memory info");
    static inline const QString SectionDescription = QStringLiteral("extended memory information");

    // Bytes.
    quint64 TotalPhysicalMemory() const;
    quint64 AvailPhysicalMemory() const;
    quint64 TotalPageFile() const;
    quint64 AvailPageFile() const;
    quint64 TotalVirtualMemory() const;
    quint64 AvailVirtualMemory() const;
    // Per cent of the physical memory in use.
    int MemoryLoad() const;

    TQorCrashHandler::Properties Properties() const;

    static void RegisterSection();
    static void UnregisterSection();
};
