// The contacts module as the host loads it: its three views in the navigation bar under their
// captions with their pictures, and a start without its language texts that still loads.
#include "client/NavBarBuilder.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uPluginManager.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;

namespace {

class ContactsModule : public ::testing::Test
{
protected:
    void Load(bool withTexts = true)
    {
        const QString target = QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvContacts.qor"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_CONTACTS_MODULE), target));
        if (withTexts) {
            ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_SOURCE_DIR "/plugins/contacts/RvContacts.lng"),
                                    QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvContacts.lng"))));
        }
        client = std::make_unique<TDMClient>(folder.ProgramPath());
        client->ReadConfiguration();
        loaded = client->LoadHydraModules();
    }
    void TearDown() override
    {
        if (client)
            client->UnLoadHydraModules();
    }
    QList<TNavBarGroup> NavBar() const
    {
        return TNavBarBuilder::LoadHydras(*client->PluginManager(), 0, [this](int n) { return client->GetText(n, true); });
    }

    LogCapture log;
    ProgramFolder folder;
    std::unique_ptr<TDMClient> client;
    int loaded = 0;
};

TEST_F(ContactsModule, LoadsWithItsThreeViewsInTheNavigationBar)
{
    Load();
    ASSERT_EQ(loaded, 1);
    TQorPluginManager &plugins = *client->PluginManager();
    ASSERT_EQ(plugins.GetPluginCount(TBasePlugin::NavBarKind), 3);
    EXPECT_EQ(plugins.GetPlugin(TBasePlugin::NavBarKind, 0)->Name(), QStringLiteral("plgContacts"));
    EXPECT_EQ(plugins.GetPlugin(TBasePlugin::NavBarKind, 1)->Name(), QStringLiteral("plgFamilies"));
    EXPECT_EQ(plugins.GetPlugin(TBasePlugin::NavBarKind, 2)->Name(), QStringLiteral("plgGroups"));

    const QList<TNavBarGroup> groups = NavBar();
    ASSERT_EQ(groups.size(), 1);
    ASSERT_EQ(groups[0].Items.size(), 3);
    EXPECT_EQ(groups[0].Items[0].Caption, QStringLiteral("Contacts"));
    EXPECT_EQ(groups[0].Items[1].Caption, QStringLiteral("Families"));
    EXPECT_EQ(groups[0].Items[2].Caption, QStringLiteral("Groups"));
    for (const TNavBarItem &item : groups[0].Items)
        EXPECT_FALSE(item.Bitmap.isNull()) << item.Caption.toStdString();
}

TEST_F(ContactsModule, WithoutItsLanguageTextsItStillLoadsAndLogsWhy)
{
    Load(false);
    ASSERT_EQ(loaded, 1);
    EXPECT_EQ(client->PluginManager()->GetPluginCount(TBasePlugin::NavBarKind), 3);
    const QStringList lines = log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &l) { return l.contains("InitializeController"); }))
        << lines.join('\n').toStdString();
}

} // namespace
