// The built module in the real client host: it loads, and its two views reach the navigation
// bar's calendar group for every user, since the module asks for no rights, and the calendar
// shows the pictures built into the module.
#include "client/NavBarBuilder.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uPluginManager.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/NavBarEntries.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kestrova::test;

TEST(EventsModuleInTheHost, LoadsAndShowsCalendarAndScheduleForUsersOfAnyLevel)
{
    LogCapture log;
    ProgramFolder folder;
    for (const QString &file : {QStringLiteral("RvEvents.qor"), QStringLiteral("RvEvents.lng")})
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns/") + file, QDir(folder.PluginsFolder()).filePath(file)));
    TDMClient client(folder.ProgramPath());
    client.ReadConfiguration();
    ASSERT_EQ(client.LoadHydraModules(), 1);
    EXPECT_EQ(client.PluginManager()->GetPluginCount(TBasePlugin::NavBarKind), 2);
    ASSERT_NE(client.FindPlugin(QStringLiteral("plgCalendar")), nullptr);
    EXPECT_EQ(client.FindPlugin(QStringLiteral("plgSchedule"))->Kind(), TBasePlugin::NavBarKind);
    const auto texts = [&client](int number) { return client.GetText(number, true); };
    const QStringList expected = {QStringLiteral("Calendar: Calendar (plgCalendar)"), QStringLiteral("Calendar: Schedule (plgSchedule)")};
    for (int level : {0, 1, 3})
        EXPECT_EQ(NavBarEntries(TNavBarBuilder::LoadHydras(*client.PluginManager(), level, texts)), expected) << "level " << level;
    EXPECT_TRUE(Matching(log.lines(), QStringLiteral("HYROMgrLoadModuleError")).isEmpty());

    // The module carries its own pictures: the calendar's come from inside it, not the desktop.
    Quorva::IHYVisualPlugin *calendar = client.HYROMgr().CreateVisualPlugin(QStringLiteral("plgCalendar"));
    ASSERT_NE(calendar, nullptr);
    if (auto navigation = host_cast<Quorva::INavBarPlugin>(calendar)) {
        const QList<QIcon> images = navigation->GetToolbarImages();
        const QList<QIcon> disabled = navigation->GetToolbarDisabledImages();
        EXPECT_GE(images.size(), 20);
        EXPECT_EQ(disabled.size(), images.size());
        for (int i = 0; i < images.size(); ++i) {
            EXPECT_FALSE(images[i].pixmap(24, 24).isNull()) << i;
            EXPECT_FALSE(disabled[i].pixmap(24, 24).isNull()) << i;
        }
    } else {
        ADD_FAILURE() << "the calendar is no navigation-bar plug-in";
    }
    client.HYROMgr().ReleasePlugin(calendar);
}

TEST(EventsModuleInTheHost, WithoutItsLanguageTextsItStillLoadsAndLogsWhy)
{
    LogCapture log;
    ProgramFolder folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns/RvEvents.qor"), QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvEvents.qor"))));
    TDMClient client(folder.ProgramPath());
    client.ReadConfiguration();
    ASSERT_EQ(client.LoadHydraModules(), 1);
    EXPECT_EQ(client.PluginManager()->GetPluginCount(TBasePlugin::NavBarKind), 2);
    EXPECT_FALSE(Matching(log.lines(), QStringLiteral("InitializeController")).isEmpty()) << log.lines().join('\n').toStdString();
}
