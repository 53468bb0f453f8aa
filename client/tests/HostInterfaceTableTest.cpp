// Every interface between host and plug-ins against a hand-written list: its GUID, what it
// extends, and the slot of each operation (0 to 2 are IQorUnknown's). The slots are read from
// the compiler's own pointers to virtual members (the Itanium C++ ABI that g++ and clang use on
// Linux: such a pointer holds one plus the operation's byte offset in the virtual table).
#include "client/api/HostInterfaces.h"
#include "client/api/PluginInterfaces.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

using namespace Quorva;

namespace {

template <class Method>
int Slot(Method method)
{
    static_assert(sizeof(Method) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t raw[2];
    std::memcpy(raw, &method, sizeof raw);
    if ((raw[0] & 1) == 0)
        return -1; // not virtual
    return int((raw[0] - 1) / std::ptrdiff_t(sizeof(void *)));
}

#define EXPECT_GUID(Interface, Guid) EXPECT_EQ(QorIID<Interface>(), QUuid(QStringLiteral(Guid))) << #Interface
#define EXPECT_SLOT(Interface, Operation, Number) EXPECT_EQ(Slot(&Interface::Operation), Number) << #Interface "." #Operation

} // namespace

TEST(HostInterfaceTable, GuidsAreTheAgreedOnes)
{
    EXPECT_GUID(IHostApplication, "{AC6A933C-80DD-4A3B-856C-F94D5ED7C4E7}");
    EXPECT_GUID(IHostLog, "{30BC93DD-F9A1-493F-ADA6-F837C7F95511}");
    EXPECT_GUID(ISettings, "{B7FF6CF1-A191-4886-831F-90F279E1707E}");
    EXPECT_GUID(IEmailHost, "{A9CEA7A4-CAB4-410A-95AD-28261D49C246}");
    EXPECT_GUID(ITransportHost, "{E527FFD2-C48A-4F1A-BB77-0B47A322F813}");
    EXPECT_GUID(IAutoScheduleRunner, "{87F3F0F8-4D70-4637-BA5E-C30184A9DB12}");
    EXPECT_GUID(ISmartHelp, "{F8FD44F4-B941-4208-9E3E-4E1A853D4304}");
    EXPECT_GUID(ISearchHost, "{5D7DD38F-CF45-4CF7-BFE3-769A4F4B9FD2}");
    EXPECT_GUID(IReportHost, "{3EC7A694-D0EA-4ED2-AC7B-FE259030314C}");
    EXPECT_GUID(IUserHost, "{21428F94-2D9A-4AFB-94B7-A6B71AA2A523}");
    EXPECT_GUID(IAboutHost, "{DD605F11-8E22-4E62-8DA1-F6134C607688}");
    EXPECT_GUID(ILanguageHost, "{0B15682F-646F-4A43-876E-EE6AEA578ED8}");
    EXPECT_GUID(IAutoScheduleEvent_Writer, "{FACC9D13-680F-4292-8EDB-8B8B32914112}");
    EXPECT_GUID(IClientPopupEvent_Writer, "{9A024C7B-647E-4483-B61E-06337F09239F}");
    EXPECT_GUID(IStyleForm, "{1DAE398C-76E2-4A27-80AC-452F930A53C3}");
    EXPECT_GUID(IROHostConnection, "{1D414671-2AAB-4535-BBE7-47C1539988FD}");
    EXPECT_GUID(INavBarPluginCtrl, "{38C95560-4C8A-4D85-9F8B-0EC80B783129}");
    EXPECT_GUID(INavBarPlugin, "{BCD20E95-9E41-447A-84E8-D845AECE59B3}");
    EXPECT_GUID(IInitialSetupController, "{95EBFBA9-91EA-468D-BEFE-3815BFC2A047}");
    EXPECT_GUID(ISplashController, "{420D0868-A22E-42CF-BF8B-333F3AFA5E76}");
    EXPECT_TRUE((std::is_same_v<QorInterfaceTraits<ISplashController>::Base, IHYVisualPlugin>));
    EXPECT_TRUE((std::is_same_v<QorInterfaceTraits<IHYVisualPlugin>::Base, IHYPlugin>));
}

TEST(HostInterfaceTable, TheUnknownOperationsComeFirst)
{
    EXPECT_SLOT(IQorUnknown, queryInterface, 0);
    EXPECT_SLOT(IQorUnknown, addRef, 1);
    EXPECT_SLOT(IQorUnknown, release, 2);
    EXPECT_SLOT(IHostLog, addRef, 1);
}

TEST(HostInterfaceTable, HostOperationsAreInTheirSlots)
{
    EXPECT_SLOT(IHostApplication, GetUseWindowsLogon, 3);
    EXPECT_SLOT(IHostApplication, SetUseWindowsLogon, 4);
    EXPECT_SLOT(IHostApplication, GetAlwaysUsePreferredServer, 5);
    EXPECT_SLOT(IHostApplication, SetAlwaysUsePreferredServer, 6);
    EXPECT_SLOT(IHostApplication, CloseMainWindow, 7);
    EXPECT_SLOT(IHostApplication, OpenInstallFAQ, 8);
    EXPECT_SLOT(IHostApplication, OpenGettingStartedGuide, 9);
    EXPECT_SLOT(IHostApplication, GetNavBarVisible, 10);
    EXPECT_SLOT(IHostApplication, SetNavBarVisible, 11);
    EXPECT_SLOT(IHostApplication, GetSmartHelpVisible, 12);
    EXPECT_SLOT(IHostApplication, SetSmartHelpVisible, 13);
    EXPECT_SLOT(IHostApplication, GetReportFolder, 14);
    EXPECT_SLOT(IHostApplication, ShowProgress, 15);
    EXPECT_SLOT(IHostApplication, SetProgress, 16);
    EXPECT_SLOT(IHostApplication, HideProgress, 17);

    EXPECT_SLOT(IHostLog, WriteLog, 3);

    EXPECT_SLOT(ISettings, GetUserSetting, 3);
    EXPECT_SLOT(ISettings, SetUserSetting, 4);
    EXPECT_SLOT(ISettings, LoadUserBlob, 5);
    EXPECT_SLOT(ISettings, SaveUserBlob, 6);
    EXPECT_SLOT(ISettings, ClearUserSetting, 7);

    EXPECT_SLOT(IEmailHost, GetCDOConfiguration, 3);
    EXPECT_SLOT(IEmailHost, Reserved4, 4);
    EXPECT_SLOT(IEmailHost, Reserved5, 5);
    EXPECT_SLOT(IEmailHost, Reserved6, 6);
    EXPECT_SLOT(IEmailHost, Reserved7, 7);
    EXPECT_SLOT(IEmailHost, Reserved8, 8);
    EXPECT_SLOT(IEmailHost, Reserved9, 9);
    EXPECT_SLOT(IEmailHost, ShowNewMessage, 10);
    EXPECT_SLOT(IEmailHost, Reserved11, 11);
    EXPECT_SLOT(IEmailHost, SendSimpleEmail, 12);
    EXPECT_SLOT(IEmailHost, IsMailAvailable, 13);

    EXPECT_SLOT(ITransportHost, ExportSettings, 3);
    EXPECT_SLOT(ITransportHost, ImportSettings, 4);
    EXPECT_SLOT(ITransportHost, Reserved5, 5);

    EXPECT_SLOT(IAutoScheduleRunner, RunAutoScheduleWithProgress, 3);
    EXPECT_SLOT(ISmartHelp, SetSmartHelpText, 3);
    EXPECT_SLOT(ISearchHost, PerformSearch, 3);
    EXPECT_SLOT(IReportHost, ShowReportDlg, 3);
    EXPECT_SLOT(IReportHost, GetReportDefinitionsText, 4);
    EXPECT_SLOT(IUserHost, GetCurrentUser, 3);
    EXPECT_SLOT(IAboutHost, ShowAboutDialog, 3);
    EXPECT_SLOT(ILanguageHost, GetResourceText, 3);

    EXPECT_SLOT(IAutoScheduleEvent_Writer, OnAutoScheduleProgress, 3);
    EXPECT_SLOT(IAutoScheduleEvent_Writer, OnAutoScheduleBegin, 4);
    EXPECT_SLOT(IAutoScheduleEvent_Writer, OnAutoScheduleEnd, 5);
    EXPECT_SLOT(IClientPopupEvent_Writer, OnNewPopup, 3);
    EXPECT_SLOT(IStyleForm, SetLookAndFeel, 3);
    EXPECT_SLOT(IROHostConnection, GetChannel, 3);
    EXPECT_SLOT(IROHostConnection, GetMessage, 4);
}

TEST(HostInterfaceTable, PlugInOperationsAreInTheirSlots)
{
    EXPECT_SLOT(INavBarPluginCtrl, InitializeController, 3);
    EXPECT_SLOT(INavBarPluginCtrl, GetRequiredRights, 4);
    EXPECT_SLOT(INavBarPluginCtrl, GetCaption, 5);
    EXPECT_SLOT(INavBarPluginCtrl, GetGroupIndex, 6);
    EXPECT_SLOT(INavBarPluginCtrl, GetBitmap, 7);

    EXPECT_SLOT(INavBarPlugin, GetBarManager, 3);
    EXPECT_SLOT(INavBarPlugin, GetToolbarImages, 4);
    EXPECT_SLOT(INavBarPlugin, GetToolbarDisabledImages, 5);
    EXPECT_SLOT(INavBarPlugin, GetStatusText, 6);
    EXPECT_SLOT(INavBarPlugin, Activate, 7);
    EXPECT_SLOT(INavBarPlugin, Deactivate, 8);

    EXPECT_SLOT(IInitialSetupController, GetResultCode, 3);
    EXPECT_SLOT(IInitialSetupController, GetUserName, 4);
    EXPECT_SLOT(IInitialSetupController, SetUserName, 5);
    EXPECT_SLOT(IInitialSetupController, GetReserved6, 6);
    EXPECT_SLOT(IInitialSetupController, SetReserved7, 7);
    EXPECT_SLOT(IInitialSetupController, GetReserved8, 8);
    EXPECT_SLOT(IInitialSetupController, SetReserved9, 9);
    EXPECT_SLOT(IInitialSetupController, GetUserID, 10);
    EXPECT_SLOT(IInitialSetupController, GetUserLevel, 11);
    EXPECT_SLOT(IInitialSetupController, GetPassword, 12);
    EXPECT_SLOT(IInitialSetupController, SetPassword, 13);
    EXPECT_SLOT(IInitialSetupController, GetUseWindowsLogon, 14);
    EXPECT_SLOT(IInitialSetupController, SetUseWindowsLogon, 15);
    EXPECT_SLOT(IInitialSetupController, Prepare, 16);

    EXPECT_SLOT(IHYPlugin, GetPluginName, 3);
    EXPECT_SLOT(IHYVisualPlugin, ShowParented, 4);
    EXPECT_SLOT(IHYVisualPlugin, GetWidget, 5);
    EXPECT_SLOT(ISplashController, SetAnimate, 6);
    EXPECT_SLOT(ISplashController, SetProgressText, 7);
    EXPECT_SLOT(ISplashController, Reserved8, 8);

    EXPECT_SLOT(IHYModuleController, GetModuleName, 3);
    EXPECT_SLOT(IHYModuleController, GetModuleDescription, 4);
    EXPECT_SLOT(IHYModuleController, GetPluginCount, 5);
    EXPECT_SLOT(IHYModuleController, GetPluginName, 6);
    EXPECT_SLOT(IHYModuleController, GetPluginDescription, 7);
    EXPECT_SLOT(IHYModuleController, ModuleCreate, 8);
    EXPECT_SLOT(IHYModuleController, SetHost, 9);
    EXPECT_SLOT(IHYModuleController, CreatePlugin, 10);
    EXPECT_SLOT(IHYModuleController, ModuleDestroy, 11);
}
