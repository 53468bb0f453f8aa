// The registries through which the contract makes its classes known: record and array classes
// by class name, proxy classes by service interface GUID, event writer classes by writer
// interface GUID, event invoker classes by sink name, and the server's class factories by
// service name. Each program has its own; registration runs at start, lookups from any thread.
#pragma once

#include "remoting/RemotingExport.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <memory>

class TROComplexType;
class TROMessage;
class TROTransportChannel;
class TROProxy;
class TROEventWriter;
class TROInMemoryEventRepository;
class TROEventInvoker;
class TROClassFactory;

using ROClassCreator = std::function<std::unique_ptr<TROComplexType>()>;
using ROProxyCreator = std::function<std::unique_ptr<TROProxy>(std::shared_ptr<TROMessage>,
                                                               std::shared_ptr<TROTransportChannel>)>;
using ROEventWriterCreator = std::function<std::unique_ptr<TROEventWriter>(TROInMemoryEventRepository &)>;
using ROEventInvokerCreator = std::function<std::unique_ptr<TROEventInvoker>()>;

// A later registration under the same key replaces the earlier one.
REMOTING_EXPORT void RegisterROClass(const QString &className, ROClassCreator creator);
REMOTING_EXPORT void UnregisterROClass(const QString &className);
REMOTING_EXPORT bool IsROClassRegistered(const QString &className);
// Throws EROInterfaceCastError when no class is registered under the name.
REMOTING_EXPORT std::unique_ptr<TROComplexType> CreateROClass(const QString &className);

REMOTING_EXPORT void RegisterProxyClass(const QUuid &interfaceId, ROProxyCreator creator);
REMOTING_EXPORT void UnregisterProxyClass(const QUuid &interfaceId);
// Empty when none is registered.
REMOTING_EXPORT ROProxyCreator FindProxyClass(const QUuid &interfaceId);

REMOTING_EXPORT void RegisterEventWriterClass(const QUuid &interfaceId, ROEventWriterCreator creator);
REMOTING_EXPORT void UnregisterEventWriterClass(const QUuid &interfaceId);
REMOTING_EXPORT ROEventWriterCreator FindEventWriterClass(const QUuid &interfaceId);

REMOTING_EXPORT void RegisterEventInvokerClass(const QString &sinkName, ROEventInvokerCreator creator);
REMOTING_EXPORT void UnregisterEventInvokerClass(const QString &sinkName);
REMOTING_EXPORT ROEventInvokerCreator FindEventInvokerClass(const QString &sinkName);

REMOTING_EXPORT void RegisterClassFactory(std::shared_ptr<TROClassFactory> factory);
REMOTING_EXPORT void UnregisterClassFactory(const QString &serviceName);
// Null when no factory serves the name.
REMOTING_EXPORT std::shared_ptr<TROClassFactory> FindClassFactory(const QString &serviceName);
