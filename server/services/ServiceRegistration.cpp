#include "server/services/ServiceRegistration.h"

#include "Quorva_Data_Service_Invk.h"
#include "remoting/RORegistry.h"
#include "server/services/uProbeService.h"

namespace {

template <class Service, class Invoker> void registerService(const QString &name)
{
    RegisterClassFactory(std::make_shared<TROClassFactory>(name, [] { return std::make_unique<Service>(); },
                                                           std::make_shared<Invoker>()));
}

} // namespace

void RegisterServerServices()
{
    registerService<TProbeService, TProbeService_Invoker>(QStringLiteral("ProbeService"));
}

void UnregisterServerServices()
{
    UnregisterClassFactory(QStringLiteral("ProbeService"));
}
