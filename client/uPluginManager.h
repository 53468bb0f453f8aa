// The plug-ins of the loaded modules, in load order: navigation-bar plug-ins (kind 0), from
// modules whose controller answers Quorva::INavBarPluginCtrl, and service plug-ins (kind 1) from the
// others. Items are added after each module loads and dropped before it unloads.
#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace Quorva {
class IHYModuleController;
}
class THYModule;
class THYModuleManager;

class TBasePlugin
{
public:
    static constexpr quint8 NavBarKind = 0;
    static constexpr quint8 ServiceKind = 1;

    TBasePlugin(Quorva::IHYModuleController *controller, int descriptor, quint8 kind, const QString &name)
        : m_controller(controller), m_descriptor(descriptor), m_kind(kind), m_name(name)
    {
    }
    virtual ~TBasePlugin() = default;

    Quorva::IHYModuleController *Controller() const { return m_controller; }
    // The plug-in's place in its controller's list.
    int Descriptor() const { return m_descriptor; }
    quint8 Kind() const { return m_kind; }
    QString Name() const { return m_name; }

private:
    Quorva::IHYModuleController *m_controller;
    int m_descriptor;
    quint8 m_kind;
    QString m_name;
};

class TNavBarPlugin : public TBasePlugin
{
public:
    TNavBarPlugin(Quorva::IHYModuleController *controller, int descriptor, const QString &name)
        : TBasePlugin(controller, descriptor, NavBarKind, name)
    {
    }
};

class TServicePlugin : public TBasePlugin
{
public:
    TServicePlugin(Quorva::IHYModuleController *controller, int descriptor, const QString &name)
        : TBasePlugin(controller, descriptor, ServiceKind, name)
    {
    }
};

class TQorPluginManager
{
public:
    // Works over manager (not owned) from now until it is destroyed.
    explicit TQorPluginManager(THYModuleManager &manager);
    ~TQorPluginManager();
    TQorPluginManager(const TQorPluginManager &) = delete;
    TQorPluginManager &operator=(const TQorPluginManager &) = delete;

    THYModuleManager &ModuleManager() const { return m_manager; }

    int GetPluginCount(quint8 kind) const;
    // The n-th item of that kind, counted from 0 in load order; null when there are fewer.
    TBasePlugin *GetPlugin(quint8 kind, int n) const;
    // The first item of exactly that name (case counts); null when none.
    TBasePlugin *FindPluginByName(const QString &name) const;

private:
    void AfterloadModule(THYModule &module);
    void BeforeUnloadModule(THYModule &module);

    THYModuleManager &m_manager;
    std::vector<std::unique_ptr<TBasePlugin>> m_items;
    std::vector<int> m_handlers;
};
