#include "remoting/RORegistry.h"

#include "remoting/ROErrors.h"
#include "remoting/ROComplexType.h"
#include "remoting/ROService.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace {

template <class Key, class Value> class Registry
{
public:
    void Add(const Key &key, Value value)
    {
        std::unique_lock lock(m_mutex);
        m_entries[key] = std::move(value);
    }
    void Remove(const Key &key)
    {
        std::unique_lock lock(m_mutex);
        m_entries.erase(key);
    }
    Value Find(const Key &key) const
    {
        std::shared_lock lock(m_mutex);
        const auto it = m_entries.find(key);
        return it == m_entries.end() ? Value() : it->second;
    }

private:
    mutable std::shared_mutex m_mutex;
    std::map<Key, Value> m_entries;
};

Registry<QString, ROClassCreator> &Classes()
{
    static Registry<QString, ROClassCreator> registry;
    return registry;
}

Registry<QUuid, ROProxyCreator> &Proxies()
{
    static Registry<QUuid, ROProxyCreator> registry;
    return registry;
}

Registry<QUuid, ROEventWriterCreator> &Writers()
{
    static Registry<QUuid, ROEventWriterCreator> registry;
    return registry;
}

Registry<QString, ROEventInvokerCreator> &Invokers()
{
    static Registry<QString, ROEventInvokerCreator> registry;
    return registry;
}

Registry<QString, std::shared_ptr<TROClassFactory>> &Factories()
{
    static Registry<QString, std::shared_ptr<TROClassFactory>> registry;
    return registry;
}

} // namespace

void RegisterROClass(const QString &className, ROClassCreator creator) { Classes().Add(className, std::move(creator)); }
void UnregisterROClass(const QString &className) { Classes().Remove(className); }
bool IsROClassRegistered(const QString &className) { return bool(Classes().Find(className)); }

std::unique_ptr<TROComplexType> CreateROClass(const QString &className)
{
    const ROClassCreator creator = Classes().Find(className);
    if (!creator)
        throw EROInterfaceCastError(QStringLiteral("No class is registered under the name \"%1\"").arg(className));
    return creator();
}

void RegisterProxyClass(const QUuid &interfaceId, ROProxyCreator creator) { Proxies().Add(interfaceId, std::move(creator)); }
void UnregisterProxyClass(const QUuid &interfaceId) { Proxies().Remove(interfaceId); }
ROProxyCreator FindProxyClass(const QUuid &interfaceId) { return Proxies().Find(interfaceId); }

void RegisterEventWriterClass(const QUuid &interfaceId, ROEventWriterCreator creator)
{
    Writers().Add(interfaceId, std::move(creator));
}
void UnregisterEventWriterClass(const QUuid &interfaceId) { Writers().Remove(interfaceId); }
ROEventWriterCreator FindEventWriterClass(const QUuid &interfaceId) { return Writers().Find(interfaceId); }

void RegisterEventInvokerClass(const QString &sinkName, ROEventInvokerCreator creator)
{
    Invokers().Add(sinkName, std::move(creator));
}
void UnregisterEventInvokerClass(const QString &sinkName) { Invokers().Remove(sinkName); }
ROEventInvokerCreator FindEventInvokerClass(const QString &sinkName) { return Invokers().Find(sinkName); }

void RegisterClassFactory(std::shared_ptr<TROClassFactory> factory)
{
    const QString name = factory->ServiceName();
    Factories().Add(name, std::move(factory));
}
void UnregisterClassFactory(const QString &serviceName) { Factories().Remove(serviceName); }
std::shared_ptr<TROClassFactory> FindClassFactory(const QString &serviceName) { return Factories().Find(serviceName); }
