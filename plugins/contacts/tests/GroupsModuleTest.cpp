// The groups view as the host makes it from the loaded module: a navigation-bar view with its
// menus and tool bar, which without a server logs why its tree stays empty instead of failing.
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"

#include <QAction>
#include <QFile>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;

namespace {

TEST(GroupsModule, TheHostMakesTheGroupsViewFromTheModule)
{
    LogCapture log;
    ProgramFolder folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_CONTACTS_MODULE), QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvContacts.qor"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_SOURCE_DIR "/plugins/contacts/RvContacts.lng"),
                            QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvContacts.lng"))));
    TDMClient client(folder.ProgramPath());
    client.ReadConfiguration();
    ASSERT_EQ(client.LoadHydraModules(), 1);
    {
        IHYVisualPlugin *view = client.HYROMgr().CreateVisualPlugin(QStringLiteral("plgGroups"));
        ASSERT_NE(view, nullptr);
        auto navigation = host_cast<INavBarPlugin>(view);
        ASSERT_TRUE(navigation);
        const QList<QToolBar *> bars = navigation->GetBarManager();
        ASSERT_EQ(bars.size(), 2);
        EXPECT_EQ(bars[0]->actions().size(), 5); // File, Edit, View, Tools, Help
        EXPECT_GE(bars[1]->actions().size(), 10);
        QString status;
        navigation->GetStatusText(status);
        EXPECT_FALSE(status.isEmpty());
        navigation->Activate(nullptr);
        auto *tree = view->GetWidget()->findChild<QTreeWidget *>(QStringLiteral("tvGroups"));
        ASSERT_TRUE(tree);
        EXPECT_EQ(tree->topLevelItemCount(), 0);
        // Without a server the actions still carry their captions, and a new user edits nothing.
        QAction *create = view->GetWidget()->findChild<QAction *>(QStringLiteral("acHYNew"));
        ASSERT_TRUE(create);
        EXPECT_FALSE(create->text().isEmpty());
        EXPECT_FALSE(create->isEnabled());
        navigation->Deactivate(nullptr);
        navigation = {};
        client.HYROMgr().ReleasePlugin(view);
    }
    client.UnLoadHydraModules();
    const QStringList lines = log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &l) { return l.contains("FillGroupListView"); }))
        << lines.join('\n').toStdString();
}

} // namespace
