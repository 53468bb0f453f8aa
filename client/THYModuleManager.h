// The host's plug-in module manager: loads the module libraries of a folder, hands each
// controller the host, creates and releases plug-in instances by name, and unloads in reverse
// order. It is the Quorva::IHYHost the modules see: it answers Quorva::IROHostConnection itself and every
// other interface from its owner (the client data module). A module that fails at any point of
// its loading is reported to the error handlers, left out, and the next one is tried.
#pragma once

#include "client/api/HostInterfaces.h"
#include "client/api/PluginInterfaces.h"

#include <QLibrary>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class THYModule
{
public:
    QString FileName() const { return m_fileName; }
    Quorva::IHYModuleController *Controller() const { return m_controller; }

private:
    friend class THYModuleManager;
    QString m_fileName;
    std::unique_ptr<QLibrary> m_library;
    Quorva::IHYModuleController *m_controller = nullptr;
    bool m_created = false;
};

class THYModuleManager : public Quorva::IHYHost, public Quorva::IROHostConnection
{
public:
    using BeforeLoadHandler = std::function<void(const QString &fileName)>;
    // May throw: the module is then left out as one that failed.
    using AfterLoadHandler = std::function<void(THYModule &module)>;
    using ErrorHandler = std::function<void(const QString &message)>;
    using BeforeUnloadHandler = std::function<void(THYModule &module)>;

    // Interfaces a module asks for, other than the connection, come from owner (not owned).
    explicit THYModuleManager(IQorUnknown *owner);
    virtual ~THYModuleManager();
    THYModuleManager(const THYModuleManager &) = delete;
    THYModuleManager &operator=(const THYModuleManager &) = delete;

    void SetChannel(std::shared_ptr<TROTransportChannel> channel) { m_channel = std::move(channel); }
    void SetMessage(std::shared_ptr<TROMessage> message) { m_message = std::move(message); }

    // Handlers are kept in the order added; the id removes one.
    int AddBeforeLoadHandler(BeforeLoadHandler handler);
    int AddAfterLoadHandler(AfterLoadHandler handler);
    int AddErrorHandler(ErrorHandler handler);
    int AddBeforeUnloadHandler(BeforeUnloadHandler handler);
    void RemoveHandler(int id);

    // Loads every file of the folder matching the mask (without regard to case), in name order;
    // answers how many modules loaded.
    int LoadModules(const QString &folder, const QString &mask);
    bool LoadModule(const QString &fileName);
    // Releases what is still alive of each module's plug-ins, then unloads the modules, the last
    // loaded first.
    void UnloadModules();

    int ModuleCount() const { return int(m_modules.size()); }
    THYModule &Module(int index) { return *m_modules[index]; }

    // A new instance of the named plug-in from the first module that has it, holding the
    // caller's reference; null when no module has it or its creation failed (reported).
    Quorva::IHYPlugin *CreatePlugin(const QString &pluginName);
    // The visual interface of a new instance; null when the plug-in has none.
    Quorva::IHYVisualPlugin *CreateVisualPlugin(const QString &pluginName);
    // Gives the caller's reference back and clears it.
    template <class Plugin>
    void ReleasePlugin(Plugin *&instance)
    {
        if (instance)
            ReleaseInstance(std::exchange(instance, nullptr));
    }
    int LivePluginCount() const { return int(m_live.size()); }

    // Quorva::IHYHost, Quorva::IROHostConnection
    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return ++m_references; }
    int release() override { return --m_references; }
    std::shared_ptr<TROTransportChannel> GetChannel() override { return m_channel; }
    std::shared_ptr<TROMessage> GetMessage() override { return m_message; }

private:
    struct LiveInstance
    {
        IQorUnknown *Instance;
        THYModule *Module;
    };
    template <class Handler>
    struct Entry
    {
        int Id;
        Handler Call;
    };

    void ReleaseInstance(IQorUnknown *instance);
    void Fail(const QString &message);
    void Unload(THYModule &module);

    IQorUnknown *m_owner;
    std::shared_ptr<TROTransportChannel> m_channel;
    std::shared_ptr<TROMessage> m_message;
    std::vector<std::unique_ptr<THYModule>> m_modules;
    std::vector<LiveInstance> m_live;
    std::vector<Entry<BeforeLoadHandler>> m_beforeLoad;
    std::vector<Entry<AfterLoadHandler>> m_afterLoad;
    std::vector<Entry<ErrorHandler>> m_onError;
    std::vector<Entry<BeforeUnloadHandler>> m_beforeUnload;
    int m_nextHandlerId = 0;
    int m_references = 0;
};
