#include "client/uPluginManager.h"

#include "client/THYModuleManager.h"

#include "foundation/QuorvaLogFile.h"

#include <algorithm>

using namespace Quorva;

namespace {

const QString kSender = QStringLiteral("Pluginmanager");

} // namespace

TQorPluginManager::TQorPluginManager(THYModuleManager &manager) : m_manager(manager)
{
    m_handlers.push_back(m_manager.AddAfterLoadHandler([this](THYModule &module) { AfterloadModule(module); }));
    m_handlers.push_back(m_manager.AddErrorHandler(
        [](const QString &message) { AddToLog(llSevere, kSender, QStringLiteral(" ERROR "), message); }));
    m_handlers.push_back(m_manager.AddBeforeUnloadHandler([this](THYModule &module) { BeforeUnloadModule(module); }));
}

TQorPluginManager::~TQorPluginManager()
{
    for (int id : m_handlers)
        m_manager.RemoveHandler(id);
}

void TQorPluginManager::AfterloadModule(THYModule &module)
{
    try {
        IHYModuleController *controller = module.Controller();
        const bool navigation = bool(host_cast<INavBarPluginCtrl>(controller));
        // All or nothing: a module that fails here is unloaded, so none of its items may stay.
        std::vector<std::unique_ptr<TBasePlugin>> items;
        for (int i = 0; i < controller->GetPluginCount(); ++i) {
            const QString name = controller->GetPluginName(i);
            if (navigation)
                items.push_back(std::make_unique<TNavBarPlugin>(controller, i, name));
            else
                items.push_back(std::make_unique<TServicePlugin>(controller, i, name));
        }
        for (auto &item : items)
            m_items.push_back(std::move(item));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("AfterloadModule"), QString::fromUtf8(e.what()));
        throw;
    }
}

void TQorPluginManager::BeforeUnloadModule(THYModule &module)
{
    m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                 [&](const auto &item) { return item->Controller() == module.Controller(); }),
                  m_items.end());
}

int TQorPluginManager::GetPluginCount(quint8 kind) const
{
    return int(std::count_if(m_items.begin(), m_items.end(), [kind](const auto &item) { return item->Kind() == kind; }));
}

TBasePlugin *TQorPluginManager::GetPlugin(quint8 kind, int n) const
{
    if (n < 0)
        return nullptr;
    for (const auto &item : m_items)
        if (item->Kind() == kind && n-- == 0)
            return item.get();
    return nullptr;
}

TBasePlugin *TQorPluginManager::FindPluginByName(const QString &name) const
{
    for (const auto &item : m_items)
        if (item->Name() == name)
            return item.get();
    return nullptr;
}
