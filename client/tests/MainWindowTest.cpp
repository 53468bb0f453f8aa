// The main window, the about box and the what's-new page over a client data module without a
// server: the navigation bar of a user's rights, opening and leaving plug-ins, the placement
// in the registry, the panes, the status texts, and the help pages every topic needs.
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uDockPanel.h"
#include "client/ufAbout.h"
#include "client/ufMain.h"
#include "client/ufWhatsNew.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/NavBarEntries.h"
#include "testsupport/DialogScript.h"
#include "client/tests/modules/TestProbe.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include "foundation/FileResolver.h"
#include "foundation/uRegistry.h"
#include "remoting/ROHTTPChannel.h"
#include "ui/uHTMLHelp.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QToolButton>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace {

const QString kUserId = QStringLiteral("{A0000000-0000-0000-0000-00000000000A}");

QString Registry(const QString &name)
{
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("<none>"), name);
    return value;
}

void SetRegistry(const QString &name, const QString &value)
{
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, value, name);
}

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.AddModule(QStringLiteral("TestService"));
        // Three navigation modules that need no rights, bit 0, and every right.
        folder.AddModule(QStringLiteral("TestViews"),
                         {{9000, QStringLiteral("0")}, {9001, QStringLiteral("0")}, {9002, QStringLiteral("1")},
                          {1000, QStringLiteral("Parish list")}, {1001, QStringLiteral("Parish calendar")}},
                         QStringLiteral("A_Everyone"));
        folder.AddModule(QStringLiteral("TestViews"),
                         {{9000, QStringLiteral("1")}, {9001, QStringLiteral("1")}, {9002, QStringLiteral("1")},
                          {1000, QStringLiteral("Editors' board")}, {1001, QStringLiteral("Editors' schedule")}},
                         QStringLiteral("B_Editors"));
        folder.AddModule(QStringLiteral("TestViews"),
                         {{9000, QStringLiteral("0x7FFFFFFF")}, {9001, QStringLiteral("2")}, {9002, QStringLiteral("2")},
                          {1000, QStringLiteral("Locations")}, {1001, QStringLiteral("Users")}},
                         QStringLiteral("C_Administrators"));
        client = std::make_unique<TDMClient>(folder.ProgramPath());
        client->ReadConfiguration();
        client->LoadHydraModules();
        client->ROHTTP()->SetTargetURL(QStringLiteral("http://127.0.0.1:1/BIN"));
        client->SetCurrentServerURL(QStringLiteral("http://parish-server:8099/BIN"));
        window = std::make_unique<TfMain>();
        window->SetDataModule(client.get());
        client->SetMainWindow(window.get());
        TconHTMLHelp::SetOpener([this](const QUrl &page) {
            opened << page.toLocalFile();
            return true;
        });
    }
    void TearDown() override
    {
        TconHTMLHelp::SetOpener({});
        if (client)
            client->SetMainWindow(nullptr);
        window.reset();
        client.reset();
    }
    void LogOn(int level, const QString &name = QStringLiteral("anna"))
    {
        client->SetLoggedOnUser(kUserId, name, level);
    }

    LogCapture log;
    ProgramFolder folder;
    std::unique_ptr<TDMClient> client;
    std::unique_ptr<TfMain> window;
    QStringList opened;
};

} // namespace

TEST_F(MainWindow, TheNavigationBarHoldsExactlyTheItemsTheUsersLevelAllows)
{
    struct Case
    {
        int Level;
        QStringList Groups;
    };
    const Case cases[] = {
        {0, {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar")}},
        {1, {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar, Editors' board, Editors' schedule")}},
        {2, {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar")}},
        {0x7FFFFFFF,
         {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar, Editors' board, Editors' schedule"),
          QStringLiteral("Administration: Locations, Users")}},
    };
    for (const Case &c : cases) {
        LogOn(c.Level);
        window->LoadHydras();
        EXPECT_EQ(NavBarGroupLines(window->NavBarGroups()), c.Groups) << "level " << c.Level;
        ASSERT_EQ(window->dxNavBar()->count(), c.Groups.size());
        EXPECT_EQ(window->dxNavBar()->itemText(0), QStringLiteral("Contacts"));
        EXPECT_EQ(window->NavBarGroupList(0)->item(0)->text(), QStringLiteral("Parish list"));
    }
}

TEST_F(MainWindow, AnItemOpensItsPlugInWithItsBarsAndTheNextOneReleasesIt)
{
    LogOn(1);
    window->LoadHydras();
    window->OnNavItemClick(0, 0);
    IHYVisualPlugin *first = window->ActivePlugin();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetWidget()->parentWidget(), window->docMain());
    EXPECT_EQ(window->StatusPanel(0)->text(), QStringLiteral("plgTestCalendar status"));
    ASSERT_EQ(window->PluginBars().size(), 1);
    EXPECT_EQ(window->PluginBars()[0]->actions().size(), 1);
    EXPECT_EQ(window->PluginBars()[0]->actions()[0]->text(), QStringLiteral("New"));
    EXPECT_TRUE(window->NavBarGroupList(0)->item(0)->font().bold());
    {
        auto probe = host_cast<ITestProbe>(first);
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe->Calls(), QStringList{QStringLiteral("Activate")});
    }

    window->OnNavItemClick(0, 0); // the active one: nothing happens
    EXPECT_EQ(window->ActivePlugin(), first);

    window->OnNavItemClick(1, 1);
    EXPECT_EQ(window->ActiveGroup(), 1);
    EXPECT_EQ(window->ActiveItem(), 1);
    EXPECT_EQ(window->PluginBars().size(), 1) << "the first plug-in's bar went with it";
    EXPECT_FALSE(window->NavBarGroupList(0)->item(0)->font().bold());
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("TestViews"), QStringLiteral("released plgTestCalendar")).size(), 1);
    EXPECT_EQ(window->ToolbarImages().size(), 1) << "the images of the plug-in that left";
    EXPECT_EQ(client->HYROMgr().LivePluginCount(), 1);
    window->close();
    EXPECT_EQ(window->ActivePlugin(), nullptr);
    EXPECT_EQ(client->HYROMgr().LivePluginCount(), 0);
}

TEST_F(MainWindow, TheBuiltWindowNamesTheUserTheVersionAndTheServerAndOpensTheFirstItem)
{
    LogOn(0);
    window->InitializeForm();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("anna - Kestrova"));
    EXPECT_EQ(window->docNavBar()->Caption(), client->GetText(2101));
    EXPECT_EQ(window->docSmartHelp()->Caption(), client->GetText(2103));
    EXPECT_EQ(window->StatusPanel(1)->text(), QStringLiteral("Version: 1.0.0.0"));
    EXPECT_EQ(window->StatusPanel(2)->text(), QStringLiteral("        http://parish-server:8099/BIN (server)"));
    EXPECT_EQ(window->ActiveGroup(), 0);
    EXPECT_EQ(window->ActiveItem(), 0);
    EXPECT_TRUE(window->GetNavBarVisible());
    EXPECT_FALSE(window->docNavBar()->AutoHide());
    // Nothing stored yet: the window fits the screen's available area.
    const QRect area = window->screen()->availableGeometry();
    EXPECT_EQ(window->geometry(), TfMain::FirstPlacement(area));
    EXPECT_TRUE(area.contains(window->geometry())) << area.width() << "x" << area.height();
    EXPECT_GE(window->minimumWidth(), 650);
}

TEST(MainWindowPlacement, TheFirstWindowTakesNineTenthsOfTheAvailableAreaCentredAndStaysInside)
{
    struct Case
    {
        QRect Available;
        QRect Expected;
    };
    const Case cases[] = {
        {QRect(0, 0, 1920, 1040), QRect(96, 52, 1728, 936)},
        {QRect(0, 40, 1280, 760), QRect(64, 78, 1152, 684)},   // a panel above the area
        {QRect(1920, 0, 700, 700), QRect(1945, 35, 650, 630)},  // a second screen: the minimum width
        {QRect(0, 0, 640, 480), QRect(0, 24, 640, 432)},        // narrower than the minimum: the area's width
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TfMain::FirstPlacement(c.Available), c.Expected) << c.Available.width();
        EXPECT_TRUE(c.Available.contains(TfMain::FirstPlacement(c.Available)));
    }
    EXPECT_EQ(TfMain::FirstPlacement(QRect()), QRect());
}

TEST_F(MainWindow, AStoredSizeIsTakenAsItIsAndStillNeverBelowTheMinimumWidth)
{
    SetRegistry(QStringLiteral("WindowsWidth"), QStringLiteral("600"));
    LogOn(0);
    window->InitializeForm();
    EXPECT_EQ(window->size(), QSize(650, 400)) << "600 wide asked, but never below its minimum; the height's default";
    EXPECT_EQ(window->pos(), QPoint(100, 100));
}

TEST_F(MainWindow, AServicePackFollowsTheVersionUnlessItIsZero)
{
    folder.SetSetting(QStringLiteral("Service pack"), QStringLiteral("0"));
    EXPECT_EQ(client->GetVersionText(), QStringLiteral("Version: 1.0.0.0"));
    folder.SetSetting(QStringLiteral("Service pack"), QStringLiteral("2"));
    EXPECT_EQ(client->GetVersionText(), QStringLiteral("Version: 1.0.0.0 SP 2"));
}

TEST_F(MainWindow, ThePlacementComesFromTheRegistryAndOnlyExactlyTrueMaximises)
{
    SetRegistry(QStringLiteral("WindowsTop"), QStringLiteral("40"));
    SetRegistry(QStringLiteral("WindowsLeft"), QStringLiteral("30"));
    SetRegistry(QStringLiteral("WindowsWidth"), QStringLiteral("900"));
    SetRegistry(QStringLiteral("WindowsHeight"), QStringLiteral("640"));
    SetRegistry(QStringLiteral("WindowsMaximized"), QStringLiteral("true"));
    LogOn(0);
    window->InitializeForm();
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(window->geometry().size(), QSize(900, 640));
    EXPECT_EQ(window->pos(), QPoint(30, 40));
    SetRegistry(QStringLiteral("WindowsMaximized"), QStringLiteral("True"));
    window->InitializeForm();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
}

TEST_F(MainWindow, ClosingKeepsThePlacementButAMinimisedWindowWritesNone)
{
    LogOn(0);
    window->InitializeForm();
    window->show();
    window->move(120, 80);
    window->resize(800, 500);
    window->close();
    EXPECT_EQ(Registry(QStringLiteral("WindowsLeft")), QStringLiteral("120"));
    EXPECT_EQ(Registry(QStringLiteral("WindowsTop")), QStringLiteral("80"));
    EXPECT_EQ(Registry(QStringLiteral("WindowsWidth")), QStringLiteral("800"));
    EXPECT_EQ(Registry(QStringLiteral("WindowsHeight")), QStringLiteral("500"));
    EXPECT_EQ(Registry(QStringLiteral("WindowsMaximized")), QStringLiteral("False"));

    window->show();
    window->move(10, 10);
    window->setWindowState(Qt::WindowMinimized);
    window->close();
    EXPECT_EQ(Registry(QStringLiteral("WindowsLeft")), QStringLiteral("120"));
}

TEST_F(MainWindow, AnAutoHidingPanelFoldsAndOpensAgain)
{
    TDockPanel *panel = window->docSmartHelp();
    panel->SetAutoHide(true);
    EXPECT_TRUE(panel->Folded());
    EXPECT_EQ(panel->maximumWidth(), TDockPanel::StripWidth);
    EXPECT_TRUE(panel->btnPin()->isChecked());
    panel->SetFolded(false);
    EXPECT_FALSE(panel->Folded());
    panel->SetAutoHide(false);
    EXPECT_FALSE(panel->Folded());
    panel->SetFolded(true);
    EXPECT_FALSE(panel->Folded()) << "only an auto-hiding panel folds";
    window->SetNavBarVisible(false);
    EXPECT_FALSE(client->GetNavBarVisible());
    client->SetNavBarVisible(true);
    EXPECT_TRUE(window->GetNavBarVisible());
}

TEST_F(MainWindow, SmartHelpKeepsItsTextFromThePlugIns)
{
    client->SetSmartHelpText(QStringLiteral("<b>Contacts</b> lists the members."), 101);
    EXPECT_EQ(window->SmartHelpText(), QStringLiteral("<b>Contacts</b> lists the members."));
    EXPECT_EQ(window->reSmartHelp()->toPlainText(), QStringLiteral("Contacts lists the members."));
    window->ShowSmartHelp(QStringLiteral("plain text"));
    EXPECT_EQ(window->reSmartHelp()->toPlainText(), QStringLiteral("plain text"));
}

TEST_F(MainWindow, TheLookAndFeelIsNativeOnlyForKindZeroAndUnknownKindsChangeNothingElse)
{
    struct Case
    {
        quint8 Kind;
        bool Native;
        int Kept;
    };
    const Case cases[] = {{0, true, 4}, {1, false, 1}, {2, false, 2}, {3, false, 3}, {4, false, 4}, {9, false, 4}};
    for (const Case &c : cases) {
        window->SetLookAndFeel(4);
        window->SetLookAndFeel(c.Kind);
        EXPECT_EQ(window->NativeStyle(), c.Native) << int(c.Kind);
        EXPECT_EQ(window->LookAndFeelKind(), c.Kept) << int(c.Kind);
    }
    window->SetLookAndFeel(2);
    EXPECT_EQ(window->reSmartHelp()->frameShape(), QFrame::NoFrame);
}

TEST_F(MainWindow, APopupsTargetOpensAnItemOrTheHelpTopic)
{
    QDir(folder.Path()).mkdir(QStringLiteral("help"));
    folder.AddFile(QStringLiteral("help/index.html"), "<h1>Kestrova</h1>");
    folder.AddFile(QStringLiteral("help/Zarorivodu.html"), "<h1>Messages</h1>");
    client->ReadConfiguration(); // the help pages are found at start
    LogOn(0x7FFFFFFF);
    window->LoadHydras();
    window->OpenPopupTarget(1);
    EXPECT_EQ(window->ActiveGroup(), 1);
    EXPECT_EQ(window->ActiveItem(), 0);
    window->OpenPopupTarget(0);
    EXPECT_EQ(window->ActiveGroup(), 2);
    window->OpenPopupTarget(7);
    EXPECT_EQ(window->ActiveGroup(), 2);
    EXPECT_TRUE(opened.isEmpty());
    window->OpenPopupTarget(2);
    EXPECT_EQ(opened, QStringList{folder.Path(QStringLiteral("help/Zarorivodu.html"))});
}

TEST_F(MainWindow, TheAboutBoxShowsItsLabelsAtTheFirstTickAndClosesAfterAClick)
{
    TfAbout about;
    EXPECT_EQ(about.size(), QSize(800, 601));
    EXPECT_FALSE(about.lblVersion()->isVisibleTo(&about));
    DialogScript script;
    bool labelsAppeared = false;
    script.Then<TfAbout>([&](TfAbout &shown) {
        QTimer::singleShot(60, &shown, [&] {
            labelsAppeared = shown.lblVersion()->isVisible() && shown.lblAbout()->isVisible();
            shown.PictureClick();
        });
    });
    about.lblVersion()->setText(client->GetText(20) + client->OwnVersion());
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_TRUE(labelsAppeared);
    EXPECT_FALSE(about.lblVersion()->isVisible());
    EXPECT_EQ(about.Value(), 0);
    EXPECT_EQ(about.lblVersion()->text(), QStringLiteral("Version 1.0.0.0"));
}

TEST_F(MainWindow, TheAboutBoxCountsUpToTheTopAndStops)
{
    TfAbout about;
    about.show();
    ASSERT_TRUE(WaitFor([&] { return !about.tmrShow()->isActive(); }, 5s));
    EXPECT_GE(about.Value(), 255);
    EXPECT_TRUE(about.lblVersion()->isVisible());
}

// Counts every what's-new page that opens and closes it, so that none waits for ever.
class WhatsNewWatch
{
public:
    WhatsNewWatch()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *page = qobject_cast<TfWhatsNew *>(widget); page && page->isVisible()) {
                    ++m_shown;
                    page->close();
                }
        });
        m_timer.start();
    }
    int Shown() const { return m_shown; }

private:
    QTimer m_timer;
    int m_shown = 0;
};

TEST_F(MainWindow, TheWhatsNewPageOfThisVersionShowsUntilTheUserStopsItAcrossARestart)
{
    // The settings file as the staging puts it beside the program, nothing more.
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/Settings.ini"), folder.Path(QStringLiteral("Settings.ini"))));
    folder.AddFile(QStringLiteral("1.0.0.0.html"), "<h2>New in this version</h2><p>Discovery finds the server.</p>");
    QString shownText;
    DialogScript script;
    script.Then<TfWhatsNew>([&](TfWhatsNew &shown) {
        shownText = shown.reWhatsNew()->toPlainText();
        EXPECT_EQ(shown.windowTitle(), QStringLiteral("What is new."));
        shown.chkDontShow()->setChecked(true);
        PressLater(shown.btnClose());
    });
    client->ShowWhatsNew();
    EXPECT_TRUE(shownText.contains(QStringLiteral("Discovery finds the server."))) << shownText.toStdString();
    EXPECT_EQ(script.Pending(), 0);

    WhatsNewWatch watch;
    client->ShowWhatsNew();
    EXPECT_EQ(watch.Shown(), 0);
    // The next start reads the choice from the file.
    TDMClient restarted(folder.ProgramPath());
    restarted.ReadConfiguration();
    EXPECT_EQ(restarted.Configuration().Read(QStringLiteral("ShowWhatsNew"), QString()), QStringLiteral("False"));
    restarted.ShowWhatsNew();
    EXPECT_EQ(watch.Shown(), 0);
    // "false" in any case keeps it away; "TRUE" brings it back.
    folder.SetSetting(QStringLiteral("ShowWhatsNew"), QStringLiteral("fALSE"));
    restarted.ShowWhatsNew();
    EXPECT_EQ(watch.Shown(), 0);
    folder.SetSetting(QStringLiteral("ShowWhatsNew"), QStringLiteral("TRUE"));
    restarted.ShowWhatsNew();
    EXPECT_EQ(watch.Shown(), 1);
}

TEST_F(MainWindow, WithoutThePageOfThisVersionNothingShows)
{
    WhatsNewWatch watch;
    client->ShowWhatsNew();
    EXPECT_EQ(watch.Shown(), 0);
    // The watch does see a page: with this version's file the same call shows it.
    folder.AddFile(QStringLiteral("1.0.0.0.html"), "<p>New</p>");
    client->ShowWhatsNew();
    EXPECT_EQ(watch.Shown(), 1);
}

TEST_F(MainWindow, TheWhatsNewPageFollowsTwoSecondsAfterTheWindowFirstShows)
{
    EXPECT_EQ(window->tmrWhatsNew()->interval(), 2000);
    EXPECT_FALSE(window->tmrWhatsNew()->isActive());
    window->show();
    EXPECT_TRUE(window->tmrWhatsNew()->isActive());
    window->tmrWhatsNew()->stop();
    window->hide();
    window->show();
    EXPECT_FALSE(window->tmrWhatsNew()->isActive()) << "once only";
}

TEST(HelpPages, EveryHelpTopicOfTheClientHasAPageAndTheContentsLinkIt)
{
    const QString folder = QStringLiteral(KESTROVA_SOURCE_DIR "/client/help");
    const QStringList topics = {
        QStringLiteral("Login_Dialog"), QStringLiteral("Zarorivodu"), QStringLiteral("Reports"), QStringLiteral("Preface"),
        QStringLiteral("Calendar"), QStringLiteral("Calendar_options"), QStringLiteral("Cal_add_a_singel_liturgy"), QStringLiteral("cal_edit_liturgy"),
        QStringLiteral("Cal_add_recurring_liturgy"), QStringLiteral("Schedule"), QStringLiteral("Schedule_filter"),
        QStringLiteral("Schedule_ministers_aut"), QStringLiteral("Contacts"), QStringLiteral("Contacts_add_a_contact"),
        QStringLiteral("Contact_Serving_Preferences"), QStringLiteral("Contact_Schedule"), QStringLiteral("Groups"),
        QStringLiteral("Groups_add_from_contacts"), QStringLiteral("Families"), QStringLiteral("Family_create"),
        QStringLiteral("Settings_General"), QStringLiteral("Settings_Locations"), QStringLiteral("Settings_Liturgy_name"),
        QStringLiteral("Settings_Ministry_Functions"), QStringLiteral("Settings_Ministry_Templates"),
        QStringLiteral("Settings_Users")};
    QFile contents(folder + QStringLiteral("/index.html"));
    ASSERT_TRUE(contents.open(QIODevice::ReadOnly));
    const QString index = QString::fromUtf8(contents.readAll());
    for (const QString &topic : topics) {
        const QString page = FileResolver::resolve(folder, topic + QStringLiteral(".html"));
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << topic.toStdString();
        EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(QStringLiteral("<h1>"))) << topic.toStdString();
        EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1.html\"").arg(topic))) << topic.toStdString();
    }
}
