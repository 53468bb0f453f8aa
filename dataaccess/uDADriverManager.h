// Driver registry: each driver registers its factory function at start and removes it at
// the end; a connection string's text in front of "?" picks the driver.
#pragma once

#include "dataaccess/DataAccessExport.h"
#include "dataaccess/IDAConnection.h"

#include <QStringList>

#include <memory>

enum TDADriverOption : int {
    doAutoCommit = 1,
    doServerList = 2,
    doDatabaseList = 4,
    doCustomConnectionString = 8,
    doLoginPrompt = 16,
};

class DATAACCESS_EXPORT IDADriver
{
public:
    virtual ~IDADriver();
    virtual QString GetDriverID() const = 0;
    virtual QString GetDescription() const = 0;
    virtual QStringList GetAuxDrivers() const = 0;
    virtual QStringList GetAuxParams(const QString &auxDriver) const = 0;
    virtual QString GetDefaultConnectionType(const QString &auxDriver) const = 0;
    virtual int GetDriverOptions() const = 0;
    // A new, closed connection with the connection string applied.
    virtual std::unique_ptr<IDAConnection> NewConnection(const QString &connectionString) = 0;
};

using TDADriverProc = IDADriver *(*)();

DATAACCESS_EXPORT void RegisterDriverProc(TDADriverProc proc);
DATAACCESS_EXPORT void UnregisterDriverProc(TDADriverProc proc);
// The registered driver with this identifier (letter case ignored); throws
// EDADriverException naming it when none is registered.
DATAACCESS_EXPORT IDADriver *DriverByID(const QString &driverId);
DATAACCESS_EXPORT QStringList RegisteredDriverIDs();
