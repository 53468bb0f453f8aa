#include "dataaccess/uDADriverManager.h"

#include "dataaccess/DAException.h"

#include <QList>

#include <mutex>

namespace {

std::mutex &registryMutex()
{
    static std::mutex m;
    return m;
}

QList<TDADriverProc> &registry()
{
    static QList<TDADriverProc> procs;
    return procs;
}

} // namespace

IDADriver::~IDADriver() = default;

void RegisterDriverProc(TDADriverProc proc)
{
    std::lock_guard lock(registryMutex());
    if (proc && !registry().contains(proc))
        registry().append(proc);
}

void UnregisterDriverProc(TDADriverProc proc)
{
    std::lock_guard lock(registryMutex());
    registry().removeAll(proc);
}

IDADriver *DriverByID(const QString &driverId)
{
    std::lock_guard lock(registryMutex());
    for (TDADriverProc proc : registry()) {
        IDADriver *driver = proc();
        if (driver && driver->GetDriverID().compare(driverId.trimmed(), Qt::CaseInsensitive) == 0)
            return driver;
    }
    throw EDADriverException(QStringLiteral("Driver \"%1\" is not registered").arg(driverId));
}

QStringList RegisteredDriverIDs()
{
    std::lock_guard lock(registryMutex());
    QStringList ids;
    for (TDADriverProc proc : registry())
        if (IDADriver *driver = proc())
            ids << driver->GetDriverID();
    return ids;
}
