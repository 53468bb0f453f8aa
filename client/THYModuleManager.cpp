#include "client/THYModuleManager.h"

#include "foundation/FileResolver.h"

#include <QDir>

#include <algorithm>
#include <stdexcept>

using namespace Quorva;

namespace {

template <class Entries>
void removeById(Entries &entries, int id)
{
    entries.erase(std::remove_if(entries.begin(), entries.end(), [id](const auto &e) { return e.Id == id; }),
                  entries.end());
}

QString errorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

THYModuleManager::THYModuleManager(IQorUnknown *owner) : m_owner(owner) {}

THYModuleManager::~THYModuleManager()
{
    UnloadModules();
}

int THYModuleManager::AddBeforeLoadHandler(BeforeLoadHandler handler)
{
    m_beforeLoad.push_back({++m_nextHandlerId, std::move(handler)});
    return m_nextHandlerId;
}

int THYModuleManager::AddAfterLoadHandler(AfterLoadHandler handler)
{
    m_afterLoad.push_back({++m_nextHandlerId, std::move(handler)});
    return m_nextHandlerId;
}

int THYModuleManager::AddErrorHandler(ErrorHandler handler)
{
    m_onError.push_back({++m_nextHandlerId, std::move(handler)});
    return m_nextHandlerId;
}

int THYModuleManager::AddBeforeUnloadHandler(BeforeUnloadHandler handler)
{
    m_beforeUnload.push_back({++m_nextHandlerId, std::move(handler)});
    return m_nextHandlerId;
}

void THYModuleManager::RemoveHandler(int id)
{
    removeById(m_beforeLoad, id);
    removeById(m_afterLoad, id);
    removeById(m_onError, id);
    removeById(m_beforeUnload, id);
}

void THYModuleManager::Fail(const QString &message)
{
    const auto handlers = m_onError; // a handler may remove itself
    for (const auto &h : handlers)
        h.Call(message);
}

int THYModuleManager::LoadModules(const QString &folder, const QString &mask)
{
    int loaded = 0;
    for (const QString &name : FileResolver::match(folder, mask))
        if (LoadModule(QDir(folder).absoluteFilePath(name)))
            ++loaded;
    return loaded;
}

bool THYModuleManager::LoadModule(const QString &fileName)
{
    for (const auto &h : std::vector(m_beforeLoad))
        h.Call(fileName);
    auto module = std::make_unique<THYModule>();
    module->m_fileName = fileName;
    module->m_library = std::make_unique<QLibrary>(fileName);
    if (!module->m_library->load()) {
        Fail(QStringLiteral("Unable to load the module %1: %2").arg(fileName, module->m_library->errorString()));
        return false;
    }
    const auto entry = reinterpret_cast<HYGetModuleControllerFunction>(module->m_library->resolve(QOR_MODULE_ENTRY_NAME));
    if (!entry) {
        Fail(QStringLiteral("The module %1 has no %2").arg(fileName, QLatin1String(QOR_MODULE_ENTRY_NAME)));
        module->m_library->unload();
        return false;
    }
    THYModule &added = *module;
    try {
        module->m_controller = entry();
        if (!module->m_controller)
            throw std::runtime_error("the module gave no controller");
        module->m_controller->ModuleCreate();
        module->m_created = true;
        module->m_controller->SetHost(this);
        m_modules.push_back(std::move(module));
        for (const auto &h : std::vector(m_afterLoad))
            h.Call(added);
        return true;
    } catch (const std::exception &e) {
        Fail(QStringLiteral("The module %1 failed to load: %2").arg(fileName, errorText(e)));
    }
    // Not kept: it goes as if it had been loaded, so its controller sees its own end.
    std::unique_ptr<THYModule> failed = std::move(module);
    if (!failed) {
        const auto it = std::find_if(m_modules.begin(), m_modules.end(), [&](const auto &m) { return m.get() == &added; });
        failed = std::move(*it);
        m_modules.erase(it);
    }
    Unload(*failed);
    return false;
}

void THYModuleManager::UnloadModules()
{
    while (!m_modules.empty()) {
        std::unique_ptr<THYModule> module = std::move(m_modules.back());
        m_modules.pop_back();
        Unload(*module);
    }
}

void THYModuleManager::Unload(THYModule &module)
{
    for (auto it = m_live.begin(); it != m_live.end();) {
        if (it->Module == &module) {
            IQorUnknown *instance = it->Instance;
            it = m_live.erase(it);
            instance->release();
        } else {
            ++it;
        }
    }
    for (const auto &h : std::vector(m_beforeUnload))
        h.Call(module);
    if (module.m_created) {
        try {
            module.m_controller->SetHost(nullptr);
            module.m_controller->ModuleDestroy();
        } catch (const std::exception &e) {
            Fail(QStringLiteral("The module %1 failed to unload: %2").arg(module.m_fileName, errorText(e)));
        }
        module.m_created = false;
    }
    module.m_controller = nullptr;
    module.m_library->unload();
}

IHYPlugin *THYModuleManager::CreatePlugin(const QString &pluginName)
{
    for (const auto &module : m_modules) {
        IHYModuleController *controller = module->m_controller;
        bool listed = false;
        for (int i = 0; i < controller->GetPluginCount() && !listed; ++i)
            listed = controller->GetPluginName(i) == pluginName;
        if (!listed)
            continue;
        try {
            IHYPlugin *instance = controller->CreatePlugin(pluginName);
            if (!instance)
                throw std::runtime_error("its controller made no instance");
            m_live.push_back({instance, module.get()});
            return instance;
        } catch (const std::exception &e) {
            Fail(QStringLiteral("Unable to create the plug-in %1: %2").arg(pluginName, errorText(e)));
            return nullptr;
        }
    }
    return nullptr;
}

IHYVisualPlugin *THYModuleManager::CreateVisualPlugin(const QString &pluginName)
{
    IHYPlugin *instance = CreatePlugin(pluginName);
    if (!instance)
        return nullptr;
    QorPtr<IHYVisualPlugin> visual = host_cast<IHYVisualPlugin>(instance);
    if (!visual) {
        ReleasePlugin(instance);
        return nullptr;
    }
    // The manager's record keeps the instance's identity; the caller's one reference moves over.
    IHYVisualPlugin *result = visual.detach();
    instance->release();
    for (LiveInstance &live : m_live)
        if (live.Instance == static_cast<IQorUnknown *>(instance))
            live.Instance = static_cast<IQorUnknown *>(result);
    return result;
}

void THYModuleManager::ReleaseInstance(IQorUnknown *instance)
{
    const auto it = std::find_if(m_live.begin(), m_live.end(), [&](const LiveInstance &l) { return l.Instance == instance; });
    if (it != m_live.end())
        m_live.erase(it);
    instance->release();
}

bool THYModuleManager::queryInterface(const QUuid &id, void **object)
{
    if (QorQueryInterface<IHYHost, IROHostConnection>(this, id, object))
        return true;
    return m_owner && m_owner->queryInterface(id, object);
}
