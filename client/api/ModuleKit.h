// Building blocks for a plug-in module, compiled into the module itself: the module controller
// with its list of plug-in factories, the reference-counted base of visual plug-ins, and the
// export the host looks for. A module is written as
//     class TMyController : public THYModuleController { ... };
//     QOR_EXPORT_MODULE_CONTROLLER(TMyController)
// and registers each plug-in in its constructor with RegisterPlugin(name, description, factory).
#pragma once

#include "client/api/HostInterfaces.h"
#include "client/api/PluginInterfaces.h"

#include <QFileInfo>
#include <QLayout>
#include <QWidget>

#include <dlfcn.h>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

namespace {

// The file of the module this is compiled into (the host's own program when called there): a
// module's language texts are its path with ".lng".
[[maybe_unused]] QString QorModulePath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&QorModulePath), &info) || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

[[maybe_unused]] QString QorModuleLanguageFile()
{
    const QFileInfo module(QorModulePath());
    return module.absolutePath() + QLatin1Char('/') + module.completeBaseName() + QStringLiteral(".lng");
}

} // namespace

// A controller lives as long as its library; its reference count only balances host_cast.
class THYModuleController : public Quorva::IHYModuleController
{
public:
    // Makes a new instance holding one reference for the caller.
    using Factory = std::function<Quorva::IHYPlugin *()>;

    THYModuleController(const QString &moduleName, const QString &description)
        : m_moduleName(moduleName), m_description(description)
    {
    }
    THYModuleController(const THYModuleController &) = delete;
    THYModuleController &operator=(const THYModuleController &) = delete;
    virtual ~THYModuleController() = default;

    bool queryInterface(const QUuid &id, void **object) override
    {
        return QorQueryInterface<Quorva::IHYModuleController>(this, id, object);
    }
    int addRef() override { return ++m_references; }
    int release() override { return --m_references; }

    QString GetModuleName() override { return m_moduleName; }
    QString GetModuleDescription() override { return m_description; }
    int GetPluginCount() override { return int(m_descriptors.size()); }
    QString GetPluginName(int index) override { return Valid(index) ? m_descriptors[index].Name : QString(); }
    QString GetPluginDescription(int index) override
    {
        return Valid(index) ? m_descriptors[index].Description : QString();
    }
    void ModuleCreate() override { OnCreate(); }
    void SetHost(Quorva::IHYHost *host) override
    {
        m_host = host;
        OnSetHost(host);
    }
    Quorva::IHYPlugin *CreatePlugin(const QString &name) override
    {
        for (const Descriptor &d : m_descriptors)
            if (d.Name == name)
                return d.Create();
        return nullptr;
    }
    void ModuleDestroy() override { OnDestroy(); }

    // The host while the module is loaded, else null.
    Quorva::IHYHost *Host() const { return m_host; }

protected:
    void RegisterPlugin(const QString &name, const QString &description, Factory factory)
    {
        m_descriptors.push_back(Descriptor{name, description, std::move(factory)});
    }
    virtual void OnCreate() {}
    // host is null when the module is about to be unloaded.
    virtual void OnSetHost(Quorva::IHYHost *) {}
    virtual void OnDestroy() {}

private:
    struct Descriptor
    {
        QString Name;
        QString Description;
        Factory Create;
    };
    bool Valid(int index) const { return index >= 0 && index < int(m_descriptors.size()); }

    QString m_moduleName;
    QString m_description;
    std::vector<Descriptor> m_descriptors;
    Quorva::IHYHost *m_host = nullptr;
    int m_references = 0;
};

// Base of a visual plug-in: a widget that deletes itself when its last reference goes. The host
// gives its reference back before it closes the window the plug-in is shown in.
// VisualInterface is Quorva::IHYVisualPlugin or an interface extending it (Quorva::ISplashController); Others
// lists what else the plug-in answers (Quorva::INavBarPlugin, Quorva::IInitialSetupController).
template <class VisualInterface = Quorva::IHYVisualPlugin, class... Others>
class THYVisualPlugin : public QWidget, public VisualInterface, public Others...
{
public:
    explicit THYVisualPlugin(const QString &pluginName) : m_pluginName(pluginName) {}

    bool queryInterface(const QUuid &id, void **object) override
    {
        return QorQueryInterface<VisualInterface, Others...>(this, id, object);
    }
    int addRef() override { return ++m_references; }
    int release() override
    {
        const int left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    QString GetPluginName() override { return m_pluginName; }
    void ShowParented(QWidget *parent) override
    {
        setParent(parent);
        if (parent && parent->layout())
            parent->layout()->addWidget(this);
        else if (parent)
            setGeometry(parent->rect());
        show();
    }
    QWidget *GetWidget() override { return this; }

protected:
    ~THYVisualPlugin() override = default;

private:
    QString m_pluginName;
    int m_references = 1;
};

// Where a module's log line comes from: a handler's name, with its step where it has one. A
// type of its own, so that location and message cannot change places unnoticed in a call.
struct QorLogLocation
{
    QString Text;
};

// How every handler of a plug-in ends a failure: one Severe line with the handler's name as
// its location, through the module controller's WriteLog(level, QorLogLocation, message);
// the user sees nothing and the action ends. Nothing is written while no controller exists.
template <class Module> void QorLogFailure(const Module *module, const QString &location, const std::exception &e)
{
    if (!module)
        return;
    try {
        module->WriteLog(QorLogLevel::Severe, QorLogLocation{location}, QString::fromUtf8(e.what()));
    } catch (const std::exception &logFailure) {
        // Without the host's log the failure still goes somewhere a person can read it.
        qWarning("%s: %s (%s)", qUtf8Printable(location), e.what(), logFailure.what());
    }
}

// Runs one handler under that rule; Qt lets no exception leave a slot. True when it ran through.
template <class Module, class Handler> bool QorGuarded(const Module *module, const QString &location, Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception &e) {
        QorLogFailure(module, location, e);
        return false;
    }
}

#define QOR_EXPORT_MODULE_CONTROLLER(ControllerClass)                                                            \
    extern "C" Q_DECL_EXPORT Quorva::IHYModuleController *HYGetModuleController()                                        \
    {                                                                                                             \
        static ControllerClass controller;                                                                        \
        return &controller;                                                                                       \
    }
