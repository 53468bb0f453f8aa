// The contacts and families views as the host makes them from the loaded module: navigation-bar
// views with their tool bar and status text, which without a server log why their lists stay
// empty instead of failing.
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"

#include <QAction>
#include <QFile>
#include <QTableView>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;

namespace {

TEST(ContactsModuleViews, TheHostMakesTheContactsAndFamiliesViewsFromTheModule)
{
    LogCapture log;
    ProgramFolder folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_CONTACTS_MODULE), QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvContacts.qor"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_SOURCE_DIR "/plugins/contacts/RvContacts.lng"),
                            QDir(folder.PluginsFolder()).filePath(QStringLiteral("RvContacts.lng"))));
    TDMClient client(folder.ProgramPath());
    client.ReadConfiguration();
    ASSERT_EQ(client.LoadHydraModules(), 1);
    // Each view has a menu bar and a tool bar.
    constexpr int barCount = 2;
    // The view, a grid it shows, the status text, whether an editor may add without the lists
    // (a new contact needs the contact list; a new family brings its own).
    const std::tuple<const char *, const char *, const char *, bool> views[] = {
        {"plgContacts", "grdTblView", "All contacts of the parish", false},
        {"plgFamilies", "grdFamilyView", "Families and their members", true}};
    for (const auto &[name, grid, statusText, newWithoutLists] : views) {
        IHYVisualPlugin *view = client.HYROMgr().CreateVisualPlugin(QString::fromLatin1(name));
        ASSERT_NE(view, nullptr) << name;
        auto navigation = host_cast<INavBarPlugin>(view);
        ASSERT_TRUE(navigation);
        const QList<QToolBar *> bars = navigation->GetBarManager();
        ASSERT_EQ(bars.size(), barCount) << name;
        EXPECT_GE(bars.last()->actions().size(), 10) << name;
        QString status;
        navigation->GetStatusText(status);
        EXPECT_EQ(status, QString::fromLatin1(statusText));
        navigation->Activate(nullptr);
        auto *table = view->GetWidget()->findChild<QTableView *>(QString::fromLatin1(grid));
        ASSERT_TRUE(table) << grid;
        navigation->Deactivate(nullptr);
        // The host's own user, with no server to read from: a new user (level 0) sees New
        // disabled, an editor enabled where it needs no list, both with its caption.
        for (const int level : {0, 1}) {
            client.User()->SetUserLevel(level);
            navigation->Activate(nullptr);
            QAction *create = view->GetWidget()->findChild<QAction *>(QStringLiteral("acHYNew"));
            ASSERT_TRUE(create) << name;
            EXPECT_EQ(create->isEnabled(), level == 1 && newWithoutLists) << name << " at level " << level;
            EXPECT_FALSE(create->text().isEmpty()) << name;
            navigation->Deactivate(nullptr);
        }
        navigation = {};
        client.HYROMgr().ReleasePlugin(view);
    }
    client.UnLoadHydraModules();
    const QStringList lines = log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &l) { return l.contains("OnActivate"); }))
        << lines.join('\n').toStdString();
}

} // namespace
