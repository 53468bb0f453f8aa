// Loading the in-tree test modules through the client data module: plug-in kinds and look-ups,
// the module list, the navigation bar's rights filter and groups, modules that fail, and the
// order of unloading.
#include "client/NavBarBuilder.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uPluginManager.h"

#include "testsupport/ClientTestSupport.h"
#include "client/tests/modules/TestProbe.h"
#include "testsupport/LogCapture.h"
#include "testsupport/NavBarEntries.h"
#include "testsupport/QtPrinters.h"

#include "foundation/uResourceHandler.h"

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;

namespace {

class PluginManager : public ::testing::Test
{
protected:
    void Load()
    {
        client = std::make_unique<TDMClient>(folder.ProgramPath());
        client->ReadConfiguration();
        loaded = client->LoadHydraModules();
    }
    TQorPluginManager &Plugins() { return *client->PluginManager(); }
    QStringList Log() const { return log.lines(); }
    TNavBarBuilder::TextSource Texts() const
    {
        return [this](int number) { return client->GetText(number, true); };
    }

    LogCapture log;
    ProgramFolder folder;
    std::unique_ptr<TDMClient> client;
    int loaded = 0;
};

} // namespace

TEST_F(PluginManager, NavigationBarPlugInsComeFromNavigationControllersAndServicePlugInsFromTheRest)
{
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    Load();
    EXPECT_EQ(loaded, 2);
    EXPECT_EQ(Plugins().GetPluginCount(TBasePlugin::NavBarKind), 2);
    EXPECT_EQ(Plugins().GetPluginCount(TBasePlugin::ServiceKind), 3);
    // The service module loads first; navigation-bar plug-ins are still counted among their own.
    ASSERT_NE(Plugins().GetPlugin(TBasePlugin::NavBarKind, 0), nullptr);
    EXPECT_EQ(Plugins().GetPlugin(TBasePlugin::NavBarKind, 0)->Name(), QStringLiteral("plgTestCalendar"));
    EXPECT_EQ(Plugins().GetPlugin(TBasePlugin::NavBarKind, 1)->Name(), QStringLiteral("plgTestSchedule"));
    EXPECT_EQ(Plugins().GetPlugin(TBasePlugin::NavBarKind, 2), nullptr);
    EXPECT_EQ(Plugins().GetPlugin(TBasePlugin::ServiceKind, 0)->Name(), QStringLiteral("plgSplash"));
    ASSERT_NE(client->FindPlugin(QStringLiteral("plgInitialSetup")), nullptr);
    EXPECT_EQ(client->FindPlugin(QStringLiteral("plgInitialSetup"))->Kind(), TBasePlugin::ServiceKind);
    EXPECT_EQ(client->FindPlugin(QStringLiteral("plgTestSchedule"))->Kind(), TBasePlugin::NavBarKind);
    EXPECT_EQ(client->FindPlugin(QStringLiteral("plgsplash")), nullptr); // names match with their case
    EXPECT_EQ(client->FindPlugin(QStringLiteral("plgTransport")), nullptr);
}

TEST_F(PluginManager, EveryModuleIsListedWithItsVersionBeforeItLoads)
{
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    Load();
    const QString service = folder.PluginsFolder() + QStringLiteral("/TestService.qor");
    const QString views = folder.PluginsFolder() + QStringLiteral("/TestViews.qor");
    const QString version = QStringLiteral(KESTROVA_VERSION);
    EXPECT_EQ(client->LoadedModules(), service + QLatin1Char('\t') + version + QLatin1Char('\r') + views + QLatin1Char('\t')
                                           + version + QLatin1Char('\r'));
    const QStringList lines = Log();
    const int loading = IndexOf(lines, QStringLiteral("Main\tLoading:  \t") + service + QStringLiteral("\tver. ") + version);
    EXPECT_NE(loading, -1);
    EXPECT_LT(loading, IndexOf(lines, QStringLiteral("created TestService")));
}

TEST_F(PluginManager, AModuleThatFailsIsLoggedAndLeftOutAndTheOthersLoad)
{
    folder.AddFile(QStringLiteral("PlugIns/Broken.qor"), "not a library");
    folder.AddModule(QStringLiteral("TestService"), {{9100, QStringLiteral("fail")}}, QStringLiteral("Failing"));
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    Load();
    EXPECT_EQ(loaded, 2);
    EXPECT_EQ(client->HYROMgr().ModuleCount(), 2);
    EXPECT_EQ(Plugins().GetPluginCount(TBasePlugin::ServiceKind), 3); // only the working copy's
    const QStringList lines = Log();
    const QStringList errors = Matching(lines, QStringLiteral("Main\tHYROMgrLoadModuleError"));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Broken.qor")));
    EXPECT_TRUE(errors[1].contains(QStringLiteral("the test module was told to fail")));
    EXPECT_EQ(Matching(lines, QStringLiteral("Pluginmanager\t ERROR ")).size(), 2);
}

TEST_F(PluginManager, AFolderWithoutModulesLoadsNone)
{
    Load();
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(Plugins().GetPluginCount(TBasePlugin::NavBarKind), 0);
}

TEST_F(PluginManager, UnloadingReleasesThePlugInsThenEachModuleTheLastLoadedFirst)
{
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    Load();
    bool managerGoneFirst = true;
    client->HYROMgr().AddBeforeUnloadHandler([&](THYModule &) { managerGoneFirst = managerGoneFirst && !client->PluginManager(); });
    IHYVisualPlugin *splash = client->HYROMgr().CreateVisualPlugin(QStringLiteral("plgSplash"));
    IHYVisualPlugin *view = client->HYROMgr().CreateVisualPlugin(QStringLiteral("plgTestCalendar"));
    ASSERT_TRUE(splash && view);
    EXPECT_EQ(client->HYROMgr().LivePluginCount(), 2);
    client->UnLoadHydraModules();
    EXPECT_TRUE(managerGoneFirst);
    EXPECT_EQ(client->PluginManager(), nullptr);
    EXPECT_EQ(client->HYROMgr().ModuleCount(), 0);
    const QStringList lines = Log();
    const QStringList order = {QStringLiteral("released plgTestCalendar"), QStringLiteral("host cleared TestViews"),
                               QStringLiteral("destroyed TestViews"),      QStringLiteral("released plgSplash"),
                               QStringLiteral("host cleared TestService"), QStringLiteral("destroyed TestService")};
    int previous = -1;
    for (const QString &step : order) {
        const int at = IndexOf(lines, step);
        EXPECT_GT(at, previous) << step.toStdString();
        previous = at;
    }
}

TEST_F(PluginManager, AReleasedPlugInIsGoneAtOnce)
{
    folder.AddModule(QStringLiteral("TestService"));
    Load();
    IHYVisualPlugin *splash = client->HYROMgr().CreateVisualPlugin(QStringLiteral("plgSplash"));
    ASSERT_NE(splash, nullptr);
    client->HYROMgr().ReleasePlugin(splash);
    EXPECT_EQ(splash, nullptr);
    EXPECT_EQ(client->HYROMgr().LivePluginCount(), 0);
    EXPECT_NE(IndexOf(Log(), QStringLiteral("released plgSplash")), -1);
    EXPECT_EQ(client->HYROMgr().CreateVisualPlugin(QStringLiteral("plgHostProbe")), nullptr); // no window
    EXPECT_EQ(client->HYROMgr().CreatePlugin(QStringLiteral("plgNobody")), nullptr);
}

TEST_F(PluginManager, ANavigationItemNeedsTheWholeRightsMaskOfItsModule)
{
    folder.AddModule(QStringLiteral("TestViews"), {{9000, QStringLiteral("0")}, {1000, QStringLiteral("Open")}, {9002, QStringLiteral("9")}},
                     QStringLiteral("A_Open"));
    folder.AddModule(QStringLiteral("TestViews"), {{9000, QStringLiteral("1")}, {1000, QStringLiteral("Editor")}, {9002, QStringLiteral("9")}},
                     QStringLiteral("B_Editor"));
    folder.AddModule(QStringLiteral("TestViews"), {{9000, QStringLiteral("3")}, {1000, QStringLiteral("Two bits")}, {9002, QStringLiteral("9")}},
                     QStringLiteral("C_TwoBits"));
    folder.AddModule(QStringLiteral("TestViews"),
                     {{9000, QStringLiteral("0x7FFFFFFF")}, {1000, QStringLiteral("Admin")}, {9002, QStringLiteral("9")}},
                     QStringLiteral("D_Admin"));
    Load();
    ASSERT_EQ(loaded, 4);
    const struct
    {
        int level;
        QString items;
    } cases[] = {
        {0, QStringLiteral("Contacts: Open")},
        {1, QStringLiteral("Contacts: Open, Editor")},
        {3, QStringLiteral("Contacts: Open, Editor, Two bits")},
        {0x7FFFFFFE, QStringLiteral("Contacts: Open")},
        {0x7FFFFFFF, QStringLiteral("Contacts: Open, Editor, Two bits, Admin")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NavBarGroupLines(TNavBarBuilder::LoadHydras(Plugins(), c.level, Texts())), QStringList{c.items}) << c.level;
    // Group 9 does not exist: those items are left out and logged.
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Quorva\tLoadHydras plgTestSchedule: no navigation group 9")).isEmpty());
}

TEST_F(PluginManager, GroupsLeftWithoutItemsAreRemoved)
{
    folder.AddModule(QStringLiteral("TestViews"), {{1000, QStringLiteral("Day")}, {1001, QStringLiteral("Plan")},
                                                   {9001, QStringLiteral("0")}, {9002, QStringLiteral("2")}});
    Load();
    const QList<TNavBarGroup> groups = TNavBarBuilder::LoadHydras(Plugins(), 0, Texts());
    EXPECT_EQ(NavBarGroupLines(groups), (QStringList{QStringLiteral("Contacts: Day"), QStringLiteral("Administration: Plan")}));
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[1].Index, 2);
    EXPECT_EQ(groups[1].Items[0].Tag, 1);
    EXPECT_EQ(groups[1].Items[0].PluginName, QStringLiteral("plgTestSchedule"));
    EXPECT_FALSE(groups[0].Items[0].Bitmap.isNull());
}

TEST(NavBarGroups, TheGroupsEndAtTheFirstEmptyText)
{
    const auto texts = [](int number) {
        return number == 20001 ? QStringLiteral("People") : number == 20002 ? QStringLiteral("Dates") : number == 20004 ? QStringLiteral("Late") : QString();
    };
    const QList<TNavBarGroup> groups = TNavBarBuilder::CreateNavBarGroups(texts);
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[1].Caption, QStringLiteral("Dates"));
    EXPECT_EQ(groups[1].Index, 1);
    EXPECT_TRUE(TNavBarBuilder::HasRights(0, 0));
    EXPECT_FALSE(TNavBarBuilder::HasRights(0x7FFFFFFF, 0x3FFFFFFF));
}
