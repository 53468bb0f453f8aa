#include "client/uMemoryInfo.h"

#include <QFile>
#include <QHash>

#include <sys/resource.h>

namespace {

// A 64-bit process's user address space where no limit is set.
constexpr quint64 kUserAddressSpace = quint64(1) << 47;

// The "name: value kB" lines of a /proc file, in bytes.
QHash<QByteArray, quint64> kilobyteFields(const QString &path)
{
    QHash<QByteArray, quint64> fields;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fields;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QList<QByteArray> words = line.mid(colon + 1).simplified().split(' ');
        bool ok = false;
        const quint64 value = words.value(0).toULongLong(&ok);
        if (ok)
            fields.insert(line.left(colon), words.value(1) == "kB" ? value * 1024 : value);
    }
    return fields;
}

quint64 meminfo(const char *name)
{
    return kilobyteFields(QStringLiteral("/proc/meminfo")).value(name);
}

} // namespace

quint64 TMemoryInfo::TotalPhysicalMemory() const
{
    return meminfo("MemTotal");
}

quint64 TMemoryInfo::AvailPhysicalMemory() const
{
    return meminfo("MemAvailable");
}

quint64 TMemoryInfo::TotalPageFile() const
{
    return meminfo("SwapTotal");
}

quint64 TMemoryInfo::AvailPageFile() const
{
    return meminfo("SwapFree");
}

quint64 TMemoryInfo::TotalVirtualMemory() const
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return limit.rlim_cur;
    return kUserAddressSpace;
}

quint64 TMemoryInfo::AvailVirtualMemory() const
{
    const quint64 total = TotalVirtualMemory();
    const quint64 used = kilobyteFields(QStringLiteral("/proc/self/status")).value("VmSize");
    return used < total ? total - used : 0;
}

int TMemoryInfo::MemoryLoad() const
{
    const QHash<QByteArray, quint64> fields = kilobyteFields(QStringLiteral("/proc/meminfo"));
    const quint64 total = fields.value("MemTotal");
    const quint64 available = fields.value("MemAvailable");
    if (total == 0 || available > total)
        return 0;
    return int((total - available) * 100 / total);
}

TQorCrashHandler::Properties TMemoryInfo::Properties() const
{
    return {
        {QStringLiteral("TotalPhysicalMemory"), QString::number(TotalPhysicalMemory())},
        {QStringLiteral("AvailPhysicalMemory"), QString::number(AvailPhysicalMemory())},
        {QStringLiteral("TotalPageFile"), QString::number(TotalPageFile())},
        {QStringLiteral("AvailPageFile"), QString::number(AvailPageFile())},
        {QStringLiteral("TotalVirtualMemory"), QString::number(TotalVirtualMemory())},
        {QStringLiteral("AvailVirtualMemory"), QString::number(AvailVirtualMemory())},
        {QStringLiteral("MemoryLoad"), QString::number(MemoryLoad())},
    };
}

void TMemoryInfo::RegisterSection()
{
    TQorCrashHandler::RegisterSection(SectionName, SectionDescription,
                                      [] { return TQorCrashHandler::NameValueText(TMemoryInfo().Properties()); });
}

void TMemoryInfo::UnregisterSection()
{
    TQorCrashHandler::UnregisterSection(SectionName);
}
