// What a plug-in module is to the host: a library exporting HYGetModuleController, whose module
// controller lists the module's plug-ins and creates them by name; and the interfaces the host
// asks of controllers and plug-ins. Operations are in slot order after the three of IQorUnknown.
#pragma once

#include "client/api/QorUnknown.h"

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

class QObject;
class QToolBar;
class QWidget;

namespace Quorva {

// The host as a module sees it: something to ask for the host interfaces (HostInterfaces.h).
class IHYHost : public IQorUnknown
{
protected:
    ~IHYHost() = default;
};

// One plug-in instance, created by its module's controller. The host holds one reference and
// gives it back through the module manager; the instance goes when its last reference does.
class IHYPlugin : public IQorUnknown
{
public:
    virtual QString GetPluginName() = 0; // 3

protected:
    ~IHYPlugin() = default;
};

// A plug-in with a window, which the host shows inside one of its own.
class IHYVisualPlugin : public IHYPlugin
{
public:
    // Puts the plug-in's widget into parent (its layout, when it has one) and shows it.
    virtual void ShowParented(QWidget *parent) = 0; // 4
    virtual QWidget *GetWidget() = 0;               // 5

protected:
    ~IHYVisualPlugin() = default;
};

// A module's controller. The host calls ModuleCreate once after loading the library, then
// SetHost with itself; before unloading it releases the module's plug-ins, calls SetHost(nullptr)
// and ModuleDestroy.
class IHYModuleController : public IQorUnknown
{
public:
    virtual QString GetModuleName() = 0;                     // 3
    virtual QString GetModuleDescription() = 0;              // 4
    virtual int GetPluginCount() = 0;                        // 5
    virtual QString GetPluginName(int index) = 0;            // 6
    virtual QString GetPluginDescription(int index) = 0;     // 7
    virtual void ModuleCreate() = 0;                         // 8
    virtual void SetHost(IHYHost *host) = 0;                 // 9
    // A new instance with one reference for the caller; null for a name the module does not have.
    virtual IHYPlugin *CreatePlugin(const QString &name) = 0; // 10
    virtual void ModuleDestroy() = 0;                        // 11

protected:
    ~IHYModuleController() = default;
};

// Answered by the controller of a navigation-bar module; every plug-in of such a module gets an
// item in the main window's navigation bar for users whose level holds the whole rights mask.
class INavBarPluginCtrl : public IQorUnknown
{
public:
    // Called by the module itself: loads its language module (the module path with ".lng").
    virtual void InitializeController() = 0;                                   // 3
    virtual int GetRequiredRights() = 0;                                       // 4
    // A name the module does not know may leave caption as it was.
    virtual void GetCaption(const QString &pluginName, QString &caption) = 0;  // 5
    virtual int GetGroupIndex(const QString &pluginName) = 0;                  // 6
    virtual QPixmap GetBitmap(const QString &pluginName) = 0;                  // 7

protected:
    ~INavBarPluginCtrl() = default;
};

// Answered by each navigation-bar plug-in. Its tool bars stay its own: the host shows their
// actions in bars of its own while the plug-in is active.
class INavBarPlugin : public IQorUnknown
{
public:
    virtual QList<QToolBar *> GetBarManager() = 0;        // 3
    virtual QList<QIcon> GetToolbarImages() = 0;          // 4
    virtual QList<QIcon> GetToolbarDisabledImages() = 0;  // 5
    virtual void GetStatusText(QString &text) = 0;        // 6
    virtual void Activate(QObject *navigationItem) = 0;   // 7
    virtual void Deactivate(QObject *navigationItem) = 0; // 8

protected:
    ~INavBarPlugin() = default;
};

// Answered by the initial-setup wizard "plgInitialSetup"; the host reads it when the wizard's
// window closes. Slots 6 to 9 hold wizard values the host does not use.
class IInitialSetupController : public IQorUnknown
{
public:
    // 1 finished; Prepare sets 2.
    virtual int GetResultCode() = 0;                       // 3
    virtual QString GetUserName() = 0;                     // 4
    virtual void SetUserName(const QString &value) = 0;    // 5
    virtual QString GetReserved6() = 0;                    // 6
    virtual void SetReserved7(const QString &value) = 0;   // 7
    virtual QString GetReserved8() = 0;                    // 8
    virtual void SetReserved9(const QString &value) = 0;   // 9
    virtual QString GetUserID() = 0;                       // 10
    virtual int GetUserLevel() = 0;                        // 11
    virtual QString GetPassword() = 0;                     // 12
    virtual void SetPassword(const QString &value) = 0;    // 13
    virtual bool GetUseWindowsLogon() = 0;                 // 14
    virtual void SetUseWindowsLogon(bool value) = 0;       // 15
    // Loads the wizard's captions.
    virtual void Prepare() = 0;                            // 16

protected:
    ~IInitialSetupController() = default;
};

// Answered by the splash plug-in "plgSplash".
class ISplashController : public IHYVisualPlugin
{
public:
    virtual void SetAnimate(bool value) = 0;               // 6
    virtual void SetProgressText(const QString &text) = 0; // 7
    virtual void Reserved8() = 0;                          // 8: does nothing

protected:
    ~ISplashController() = default;
};

} // namespace Quorva

// GUIDs (and the interface each one extends).
QOR_DECLARE_INTERFACE(Quorva::IHYHost, "{540DA644-E91F-453F-BA75-C56416357DE1}", void)
QOR_DECLARE_INTERFACE(Quorva::IHYPlugin, "{A38ED93E-6CDD-4233-9B11-657F30D4D7C6}", void)
QOR_DECLARE_INTERFACE(Quorva::IHYVisualPlugin, "{68BDB7A6-AFA5-44A5-B0EB-199F6CBDA9F7}", Quorva::IHYPlugin)
QOR_DECLARE_INTERFACE(Quorva::IHYModuleController, "{DFC4F561-EF89-4BCE-97A0-5E37FAE6190B}", void)
QOR_DECLARE_INTERFACE(Quorva::INavBarPluginCtrl, "{38C95560-4C8A-4D85-9F8B-0EC80B783129}", void)
QOR_DECLARE_INTERFACE(Quorva::INavBarPlugin, "{BCD20E95-9E41-447A-84E8-D845AECE59B3}", void)
QOR_DECLARE_INTERFACE(Quorva::IInitialSetupController, "{95EBFBA9-91EA-468D-BEFE-3815BFC2A047}", void)
QOR_DECLARE_INTERFACE(Quorva::ISplashController, "{420D0868-A22E-42CF-BF8B-333F3AFA5E76}", Quorva::IHYVisualPlugin)

// The one export of a plug-in module: its controller, which lives as long as the library.
extern "C" {
using HYGetModuleControllerFunction = Quorva::IHYModuleController *(*)();
}
#define QOR_MODULE_ENTRY_NAME "HYGetModuleController"
