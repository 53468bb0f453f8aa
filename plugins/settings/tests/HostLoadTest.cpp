// The built module in the real client host: it loads, and its settings item reaches the
// navigation bar only for a user whose level holds every right (an administrator).
#include "client/NavBarBuilder.h"
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

TEST(SettingsModuleInTheHost, ShowsTheSettingsItemToAdministratorsOnly)
{
    LogCapture log;
    ProgramFolder folder;
    for (const QString &file : {QStringLiteral("RvSettings.qor"), QStringLiteral("RvSettings.lng")})
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns/") + file, QDir(folder.PluginsFolder()).filePath(file)));
    TDMClient client(folder.ProgramPath());
    client.ReadConfiguration();
    ASSERT_EQ(client.LoadHydraModules(), 1);
    ASSERT_EQ(client.PluginManager()->GetPluginCount(TBasePlugin::NavBarKind), 1);
    ASSERT_NE(client.FindPlugin(QStringLiteral("plgSystemSettings")), nullptr);
    const auto texts = [&client](int number) { return client.GetText(number, true); };
    const QString group = texts(TNavBarBuilder::FirstGroupText + 2);
    ASSERT_FALSE(group.isEmpty());
    const QStringList administrator = {group + QStringLiteral(": System settings (plgSystemSettings)")};
    // The user level of a plain user is 0; an administrator's holds every right bit.
    const struct
    {
        int level;
        QStringList expected;
    } users[] = {{0, {}}, {1, {}}, {0x3FFFFFFF, {}}, {0x7FFFFFFF, administrator}};
    for (const auto &u : users)
        EXPECT_EQ(NavBarEntries(TNavBarBuilder::LoadHydras(*client.PluginManager(), u.level, texts)), u.expected) << "level " << u.level;
    EXPECT_TRUE(Matching(log.lines(), QStringLiteral("HYROMgrLoadModuleError")).isEmpty());
}
