#include "server/services/ServiceRegistration.h"

#include "Quorva_Data_Service_Invk.h"
#include "remoting/RORegistry.h"
#include "server/core/uDMServer.h"
#include "server/services/uContactsService.h"
#include "server/services/uEventsService.h"
#include "server/services/uLSService.h"
#include "server/services/uLogOnService.h"
#include "server/services/uProbeService.h"
#include "server/services/uResourceService.h"
#include "server/services/uSettingsService.h"
#include "server/services/uReportService.h"

#include <stdexcept>

namespace {

template <class Service, class Invoker> void registerService(const QString &name)
{
    RegisterClassFactory(std::make_shared<TROClassFactory>(name, [] { return std::make_unique<Service>(); },
                                                           std::make_shared<Invoker>()));
}

std::unique_ptr<TRORemotable> newEventsService()
{
    if (!DMServer)
        throw std::runtime_error("the data server is not running");
    TDMServer *server = DMServer;
    TEventsServiceContext context{server->ConnectionManager(), &server->EventRepository(), server->FAutoScheduleRunning,
                                  server->FStopAutoSchedule, [server] { server->CreateBackup(); }};
    context.TraceFolder = server->ProgramFolder();
    return std::make_unique<TEventsService>(context);
}

std::unique_ptr<TRORemotable> newSettingsService()
{
    if (!DMServer)
        throw std::runtime_error("the data server is not running");
    TSettingsServiceContext context{DMServer->ConnectionManager(), DMServer->ProgramFolder()};
    if (!DMServer->DataType().isEmpty())
        context.ConnectionName = DMServer->DataType();
    return std::make_unique<TSettingsService>(context);
}

// A data service on the server's connection manager and connection name.
template <class Service> std::unique_ptr<TRORemotable> newDataService()
{
    if (!DMServer)
        throw std::runtime_error("the data server is not running");
    return std::make_unique<Service>(DMServer->ConnectionManager(), DMServer->DataType());
}

std::unique_ptr<TRORemotable> newReportService()
{
    if (!DMServer)
        throw std::runtime_error("the data server is not running");
    TReportServiceContext context{DMServer->ConnectionManager(), DMServer->ReportPath(), DMServer->DataType()};
    if (!DMServer->DataType().isEmpty())
        context.ConnectionName = DMServer->DataType();
    return std::make_unique<TReportService>(context);
}

} // namespace

void RegisterServerServices()
{
    RegisterClassFactory(std::make_shared<TROClassFactory>(QStringLiteral("EventsService"), newEventsService,
                                                           std::make_shared<TEventsService_Invoker>()));
    RegisterClassFactory(std::make_shared<TROClassFactory>(QStringLiteral("ResourceService"), newDataService<TResourceService>,
                                                           std::make_shared<TResourceService_Invoker>()));
    RegisterClassFactory(std::make_shared<TROClassFactory>(QStringLiteral("LSService"), newDataService<TLSService>,
                                                           std::make_shared<TLSService_Invoker>()));
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        QStringLiteral("LogOnService"), [] { return std::make_unique<TLogOnService>(); },
        std::make_shared<TLogOnService_Invoker>()));
    registerService<TProbeService, TProbeService_Invoker>(QStringLiteral("ProbeService"));
    RegisterClassFactory(std::make_shared<TROClassFactory>(QStringLiteral("SettingsService"), newSettingsService,
                                                           std::make_shared<TSettingsService_Invoker>()));
    RegisterClassFactory(std::make_shared<TROClassFactory>(QStringLiteral("ReportService"), newReportService,
                                                           std::make_shared<TReportService_Invoker>()));
    RegisterClassFactory(std::make_shared<TROClassFactory>(QStringLiteral("ContactsService"), newDataService<TContactsService>,
                                                           std::make_shared<TContactsService_Invoker>()));
}

void UnregisterServerServices()
{
    UnregisterClassFactory(QStringLiteral("LogOnService"));
    UnregisterClassFactory(QStringLiteral("ProbeService"));
    UnregisterClassFactory(QStringLiteral("EventsService"));
    UnregisterClassFactory(QStringLiteral("SettingsService"));
    UnregisterClassFactory(QStringLiteral("ResourceService"));
    UnregisterClassFactory(QStringLiteral("LSService"));
    UnregisterClassFactory(QStringLiteral("ReportService"));
    UnregisterClassFactory(QStringLiteral("ContactsService"));
}
