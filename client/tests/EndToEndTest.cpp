// The client host against the real Brennic on a fresh database, offscreen: finding the server
// (discovery on loopback, the version filter, a typed address, a server that does not answer,
// the hand-over to Diagnose), logging on (password, three refusals, the operating-system
// account, a password change, a database without users), and the main window of a whole start
// with the navigation items of the user's level, its placement and panes across a restart,
// and its about box, what's-new page and help; and a client installed the documented way,
// started by an ordinary user.
#include "client/ClientConfiguration.h"
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uDMData.h"
#include "client/uDockPanel.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufAbout.h"
#include "client/ufDlgLogin.h"
#include "client/ufDlgServerAddress.h"
#include "client/ufMain.h"
#include "client/ufWhatsNew.h"

#include "client/tests/ClientTestSupport.h"
#include "client/tests/DialogScript.h"
#include "client/tests/OrdinaryUser.h"
#include "client/tests/RealBrennic.h"
#include "server/tests/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include "foundation/uRegistry.h"
#include "foundation/uResourceHandler.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROErrors.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"
#include "ui/ufPassword.h"

#if __has_include("foundation/InteractiveLogon.h")
#include "foundation/InteractiveLogon.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleOptionToolButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>
#include <QUdpSocket>
#include <QUrl>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace {

const QString kAnna = QStringLiteral("{A0000000-0000-0000-0000-00000000000A}");
const QString kBob = QStringLiteral("{B0000000-0000-0000-0000-00000000000B}");
const QString kAnnaPassword = QStringLiteral("Credo2024");
const QString kBobPassword = QStringLiteral("Gloria77");
constexpr qint64 kAdministrator = 0x7FFFFFFF;

QString Registry(HKEY root, const QString &name)
{
    QString value;
    TQorReg::ReadString(root, ProductKey, value, QStringLiteral("<none>"), name);
    return value;
}

void SetRegistry(HKEY root, const QString &name, const QString &value)
{
    TQorReg::WriteString(root, ProductKey, value, name);
}

void FreshSession(TDMClient &client)
{
    // Each test's client is a program of its own to the server.
    const QUuid session = QUuid::createUuid();
    client.ROHTTP()->SetSessionID(session);
    client.ROHTTPEvents()->SetSessionID(session);
    client.ROProbeHTP()->SetSessionID(session);
}

// The log-on as a user does it: the name, the password, the box, OK.
std::function<void(TfDlgLogin &)> LogOnAs(const QString &name, const QString &password, bool windowsLogon = false)
{
    return [name, password, windowsLogon](TfDlgLogin &dialog) {
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(name));
        dialog.ePwd()->setText(password);
        dialog.chkShow()->setChecked(windowsLogon);
        PressLater(dialog.btnOK());
    };
}

// The real host components, with discovery pointed at a loopback port and a session of its own;
// the message loop shows the window, lets the test look at it and closes it.
class EndToEndFactory : public THostComponentFactory
{
public:
    quint16 discoveryPort = 0;
    std::function<void(TfMain &, TDMClient &)> inLoop;
    bool loopRan = false;

    void InstallComponents(TDMClient &client) override
    {
        FreshSession(client);
        auto connector = std::make_unique<TServerConnector>(client);
        connector->SetDiscoveryTarget(QHostAddress::LocalHost, discoveryPort);
        client.SetServerConnector(std::move(connector));
        client.SetLogOnSteps(std::make_unique<TLogOnSteps>(client));
        m_client = &client;
    }
    void RunMessageLoop(IQuorvaMainWindow &window) override
    {
        loopRan = true;
        window.Widget()->show();
        if (inLoop)
            inLoop(*qobject_cast<TfMain *>(window.Widget()), *m_client);
        window.Widget()->close();
    }

private:
    TDMClient *m_client = nullptr;
};

class EndToEnd : public RealBrennicSuite
{
protected:
    void SetUp() override
    {
        RealBrennicSuite::SetUp();
        if (!Ready())
            return;
        Server().ClearUsersAndSettings();
        Server().AddUser(kAnna, QStringLiteral("anna"), kAnnaPassword, 1);
        Server().AddUser(kBob, QStringLiteral("bob"), kBobPassword, kAdministrator);
        program.SetSetting(QStringLiteral("Animate splash"), QStringLiteral("False"));
        // The help pages as the build stages them beside the program.
        QDir(program.Path()).mkdir(QStringLiteral("help"));
        for (const QString &page : QDir(QStringLiteral(KESTROVA_STAGE_DIR "/help")).entryList(QDir::Files))
            QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/help/") + page, program.Path(QStringLiteral("help/") + page));
        program.AddModule(QStringLiteral("TestService"));
        program.AddModule(QStringLiteral("TestViews"),
                          {{9000, QStringLiteral("0")}, {9001, QStringLiteral("0")}, {9002, QStringLiteral("1")},
                           {1000, QStringLiteral("Parish list")}, {1001, QStringLiteral("Parish calendar")}},
                          QStringLiteral("A_Everyone"));
        program.AddModule(QStringLiteral("TestViews"),
                          {{9000, QStringLiteral("1")}, {9001, QStringLiteral("1")}, {9002, QStringLiteral("1")},
                           {1000, QStringLiteral("Editors' board")}, {1001, QStringLiteral("Editors' schedule")}},
                          QStringLiteral("B_Editors"));
        program.AddModule(QStringLiteral("TestViews"),
                          {{9000, QStringLiteral("0x7FFFFFFF")}, {9001, QStringLiteral("2")}, {9002, QStringLiteral("2")},
                           {1000, QStringLiteral("Locations")}, {1001, QStringLiteral("Users")}},
                          QStringLiteral("C_Administrators"));
        TconHTMLHelp::SetOpener([this](const QUrl &page) {
            opened << page.toLocalFile();
            return true;
        });
        factory.discoveryPort = Server().DiscoveryPort();
    }
    void TearDown() override
    {
        TconHTMLHelp::SetOpener({});
        client.reset();
    }


    // A client data module of this test's program folder, configured, with its modules.
    TDMClient &Client()
    {
        if (!client) {
            client = std::make_unique<TDMClient>(program.ProgramPath());
            FreshSession(*client);
            client->ReadConfiguration();
            client->LoadHydraModules();
        }
        return *client;
    }
    TServerConnector &Connector(quint16 discoveryPort)
    {
        if (!connector) {
            connector = std::make_unique<TServerConnector>(Client());
            connector->SetDiscoveryTarget(QHostAddress::LocalHost, discoveryPort);
        }
        return *connector;
    }
    void ConnectTo(const QString &url)
    {
        Client().ROHTTP()->SetTargetURL(url);
        Client().ROHTTPEvents()->SetTargetURL(url);
        Client().SetCurrentServerURL(url);
    }
    // A whole start of the program, as main() runs it.
    void RunStart()
    {
        TQuorvaSteps steps(program.ProgramPath(), factory);
        TQuorvaStartup(steps, program.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    }
    QStringList StartLog() const { return FileLines(program.Path(QStringLiteral("session.txt"))); }
    QString Stored(const QString &userId, const QString &key) const
    {
        return Server().Db().scalar(
            QStringLiteral("SELECT SettingsValue FROM dbo.tblSettings WHERE F_UserID = '%1' AND SettingsKey = '%2'").arg(userId, key));
    }


    ProgramFolder program;
    TScriptedPrompt prompt;
    DialogScript script;
    EndToEndFactory factory;
    QStringList opened;
    // Declared after the client: it goes first.
    std::unique_ptr<TDMClient> client;
    std::unique_ptr<TServerConnector> connector;
};

QStringList Captions(const QList<TNavBarGroup> &groups)
{
    QStringList captions;
    for (const TNavBarGroup &group : groups) {
        QStringList items;
        for (const TNavBarItem &item : group.Items)
            items << item.Caption;
        captions << group.Caption + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    return captions;
}


// The staged plug-ins in place of the in-tree test modules; false when the build staged fewer than two.
bool UseStagedPlugIns(const ProgramFolder &program)
{
    QDir folder(program.PluginsFolder());
    for (const QString &file : folder.entryList(QDir::Files))
        folder.remove(file);
    const QDir staged(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns"));
    const QStringList files = staged.entryList({QStringLiteral("*.qor"), QStringLiteral("*.lng")}, QDir::Files);
    for (const QString &file : files)
        QFile::copy(staged.filePath(file), folder.filePath(file));
    return files.filter(QStringLiteral(".qor")).size() >= 2;
}

bool IsExit(const QAction *action)
{
    return QString(action->text()).remove(QLatin1Char('&')) == QLatin1String("Exit");
}

QAction *FindExit(const QList<QAction *> &actions)
{
    for (QAction *action : actions) {
        if (IsExit(action))
            return action;
        if (action->menu())
            if (QAction *inside = FindExit(action->menu()->actions()))
                return inside;
    }
    return nullptr;
}

// The button on the active plug-in's bars that leads to its Exit: the button of a menu that holds
// it, or the action's own button.
QToolButton *ExitButton(TfMain &window, bool throughMenu, QAction *&exit)
{
    for (QToolBar *bar : window.PluginBars())
        for (QAction *action : bar->actions()) {
            QAction *found = throughMenu ? (action->menu() ? FindExit(action->menu()->actions()) : nullptr)
                                         : (IsExit(action) ? action : nullptr);
            if (found) {
                exit = found;
                return qobject_cast<QToolButton *>(bar->widgetForAction(action));
            }
        }
    return nullptr;
}

} // namespace

// --- finding the server -------------------------------------------------------------------------

TEST_F(EndToEnd, DiscoveryOnLoopbackFindsTheServerAndConnectsToIt)
{
    LogCapture log;
    EXPECT_EQ(Connector(Server().DiscoveryPort()).ConnectToServer(), 0);
    ASSERT_EQ(Client().DiscoveredServers().size(), 1);
    const TDiscoveredServer &found = Client().DiscoveredServers().first();
    EXPECT_EQ(found.Text, QStringLiteral("http://127.0.0.1:%1").arg(Server().HttpPort()));
    EXPECT_EQ(found.Record.ID, Server().URL());
    EXPECT_EQ(found.Record.Text, QStringLiteral(KESTROVA_VERSION));
    EXPECT_EQ(found.Record.Value, Server().HttpPort());
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
    EXPECT_EQ(Client().ROHTTP()->TargetURL(), Server().URL());
    EXPECT_EQ(Client().ROHTTPEvents()->TargetURL(), Server().URL());
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("Main"), QStringLiteral("Servers:")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(Connector(0).GetServerVersion(), QStringLiteral(KESTROVA_VERSION));
}

TEST_F(EndToEnd, AServerOfAnOlderVersionIsLeftOutAndANewerOneKept)
{
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    TRODiscoveryServer other;
    other.SetBindAddress(QHostAddress::LocalHost);
    other.SetPort(0);
    other.SetServiceNames({QStringLiteral("Kestrova")});
    ASSERT_TRUE(other.SetActive(true));
    TVODiscoveryResultOptions answer;
    answer.Port = Server().HttpPort();

    answer.Version = QStringLiteral("0.9.9.9");
    other.SetAnswer(answer);
    script.Then<TfDlgServerAddress>([](TfDlgServerAddress &dialog) { PressLater(dialog.btnCancel()); });
    EXPECT_EQ(Connector(other.Port()).ConnectToServer(), 2) << "nothing kept, and the typed address was cancelled";
    EXPECT_TRUE(Client().DiscoveredServers().isEmpty());
    EXPECT_EQ(script.Pending(), 0);

    // 1.10 is newer than 1.2 and 10 newer than 9, whatever the letters say.
    answer.Version = QStringLiteral("%1.10.0.0").arg(QStringLiteral(KESTROVA_VERSION).section(QLatin1Char('.'), 0, 0).toInt());
    other.SetAnswer(answer);
    EXPECT_EQ(Connector(other.Port()).ConnectToServer(), 0);
    ASSERT_EQ(Client().DiscoveredServers().size(), 1);
    EXPECT_EQ(Client().DiscoveredServers().first().Record.Text, answer.Version);
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
}

TEST_F(EndToEnd, ATypedAddressIsProbedTakenAndKeptAsThePreferredServer)
{
    program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("False"));
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), QStringLiteral("http://parish-server:8100/BIN"));
    QString shownServer;
    QString shownPort;
    script.Then<TfDlgServerAddress>([&](TfDlgServerAddress &dialog) {
        shownServer = dialog.Server();
        shownPort = dialog.Port();
        dialog.edServer()->setText(QStringLiteral("http://127.0.0.1"));
        dialog.edPort()->setText(QString::number(Server().HttpPort()));
        dialog.chkShow()->setChecked(true);
        dialog.btnProbe()->click();
        PressLater(dialog.btnOK());
    });
    EXPECT_EQ(Connector(0).ConnectToServer(), 0);
    EXPECT_EQ(shownServer, QStringLiteral("http://parish-server"));
    EXPECT_EQ(shownPort, QStringLiteral("8100"));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Server responded OK"));
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Preferred server")), Server().URL());
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Always use preferred server")), QStringLiteral("TRUE"));

    // Next time the preferred server is used without a question.
    client.reset();
    connector.reset();
    EXPECT_EQ(Connector(0).ConnectToServer(), 0);
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
    EXPECT_EQ(script.Pending(), 0);
}

TEST_F(EndToEnd, AServerThatDoesNotAnswerGivesResultOneAndTheStartSaysSo)
{
    const QString stopped = QStringLiteral("http://127.0.0.1:1/BIN");
    program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("False"));
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    script.Then<TfDlgServerAddress>([](TfDlgServerAddress &dialog) {
        dialog.edServer()->setText(QStringLiteral("http://127.0.0.1"));
        dialog.edPort()->setText(QStringLiteral("1"));
        PressLater(dialog.btnOK());
    });
    RunStart();
    EXPECT_FALSE(factory.loopRan);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Critical);
    TVOResourceHandler texts;
    texts.LoadResourceFile(program.Path(QStringLiteral("Quorva.lng")));
    EXPECT_EQ(prompt.Prompts()[0].Text, texts.GetString(12));
    const QStringList lines = StartLog();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Main\tServer: ") + stopped), -1);
    EXPECT_NE(IndexOf(lines, QStringLiteral("Severe     \tDMClient\tServer version\t\t")), -1);
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tMain No connection")), -1);
}

TEST_F(EndToEnd, OnASingleComputerALocalServerThatDoesNotAnswerHandsOverToDiagnose)
{
    const QString stopped = QStringLiteral("http://127.0.0.1:1/BIN");
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Single"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), stopped);
    {
        LogCapture log;
        EXPECT_EQ(Connector(0).ConnectToServer(), 2);
        EXPECT_EQ(log.lines().filter(QStringLiteral("GetManualServer Unable to locate ") + program.Path(QStringLiteral("Diagnose"))).size(), 1);
    }
    const QString received = program.Path(QStringLiteral("arguments.txt"));
    program.AddFile(QStringLiteral("Diagnose"),
                    QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '%1.part' && mv '%1.part' '%1'\n").arg(received).toUtf8());
    QFile(program.Path(QStringLiteral("Diagnose"))).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Connector(0).ConnectToServer(), 2);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(received); }, 10s));
    QFile arguments(received);
    ASSERT_TRUE(arguments.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(arguments.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList{QStringLiteral("Single;") + stopped});
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Preferred server")), stopped) << "a failed start keeps the user's server";
}

TEST_F(EndToEnd, TheFirstStartOfAClientOnlyInstallationAsksForTheAddressProbesItAndLogsOn)
{
    // What the client-only installation steps write; nothing else is known yet.
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    factory.discoveryPort = kestrova::test::FreeUdpPort();
    bool asked = false;
    script.Then<TfDlgServerAddress>([&](TfDlgServerAddress &dialog) {
        asked = true;
        EXPECT_EQ(dialog.Server(), QStringLiteral("http://localhost"));
        EXPECT_EQ(dialog.Port(), QStringLiteral("8099"));
        dialog.edServer()->setText(QStringLiteral("http://127.0.0.1"));
        dialog.edPort()->setText(QString::number(Server().HttpPort()));
        dialog.btnProbe()->click();
        PressLater(dialog.btnOK());
    });
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    EXPECT_TRUE(asked) << "no server found: the address dialog";
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Server responded OK"));
    EXPECT_TRUE(factory.loopRan);
    EXPECT_EQ(script.Pending(), 0);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Preferred server")), Server().URL());
    EXPECT_NE(IndexOf(StartLog(), QStringLiteral("Information\tMain\tServers: 0")), -1);
}

TEST_F(EndToEnd, TheFirstStartOfASingleComputerInstallationTakesTheLocalServerWithoutAsking)
{
    // What scripts/run writes; the server here is this computer's, named by the user's store or
    // by the port of the server's settings file the client shares.
    struct Row
    {
        const char *Case;
        bool PreferredStored;
    };
    for (const Row row : {Row{"preferred server stored", true}, Row{"the [Server] port of Settings.ini", false}}) {
        SCOPED_TRACE(row.Case);
        factory.loopRan = false;
        QFile::remove(program.Path(QStringLiteral("session.txt")));
        SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Single"));
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), row.PreferredStored ? Server().URL() : QString());
        program.SetSetting(QStringLiteral("Port"), row.PreferredStored ? QStringLiteral("1") : QString::number(Server().HttpPort()),
                           QStringLiteral("Server"));
        if (!row.PreferredStored)
            QFile::remove(program.Path(QStringLiteral("registry/user.ini")));
        script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
        RunStart();
        EXPECT_TRUE(factory.loopRan);
        EXPECT_EQ(script.Pending(), 0) << "no address dialog, no list of servers";
        const QStringList lines = StartLog();
        EXPECT_NE(IndexOf(lines, QStringLiteral("Information\tMain\tServers: 0")), -1) << "no discovery on a single computer";
        const QString expected =
            row.PreferredStored ? Server().URL() : QStringLiteral("http://localhost:%1/BIN").arg(Server().HttpPort());
        EXPECT_NE(IndexOf(lines, QStringLiteral("Main\tServer: ") + expected), -1) << lines.join(QLatin1Char('\n')).toStdString();
    }
}

TEST_F(EndToEnd, AnUpdateIsOfferedOnlyAboveTheInstalledVersionSoAnUpdateWithoutANewProgramEndsAtTheLogOn)
{
    // An update of texts and help pages only: the program stays at its compiled version, and the
    // updater records the version it installed.
    const QString staged = Server().Folder() + QStringLiteral("/Updates/1.0.0.1");
    ASSERT_TRUE(QDir().mkpath(staged + QStringLiteral("/help")));
    const auto unstage = qScopeGuard([&] { QDir(Server().Folder() + QStringLiteral("/Updates")).removeRecursively(); });
    program.AddFile(QStringLiteral("Update"), "#!/bin/sh\nexit 0\n");
    QFile(program.Path(QStringLiteral("Update"))).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ConnectTo(Server().URL());
    struct Row
    {
        const char *ServicePack;
        int Answer;
    };
    for (const Row row : {Row{"0", TDMClient::UpdateWaiting}, Row{"1.0.0.1", TDMClient::NoUpdate}, Row{"1.0.0.2", TDMClient::NoUpdate},
                          Row{"no version", TDMClient::UpdateWaiting}}) {
        program.SetSetting(QStringLiteral("Service Pack"), QString::fromLatin1(row.ServicePack));
        EXPECT_EQ(Client().CheckForUpdate(), row.Answer) << row.ServicePack;
    }

    // The start after the update goes on to the log-on; its modules are its own.
    client.reset();
    program.SetSetting(QStringLiteral("Service Pack"), QStringLiteral("1.0.0.1"));
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Single"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    EXPECT_TRUE(factory.loopRan);
    EXPECT_EQ(IndexOf(StartLog(), QStringLiteral("Updating client")), -1);
}

// --- logging on ---------------------------------------------------------------------------------

TEST_F(EndToEnd, TheRightPasswordLogsOnAndTheNameIsKeptForNextTime)
{
    ConnectTo(Server().URL());
    QStringList names;
    QString version;
    QString server;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        for (int i = 0; i < dialog.cbUsers()->count(); ++i)
            names << dialog.cbUsers()->itemText(i);
        version = dialog.lblVersion()->text();
        server = dialog.lblServer()->text();
        LogOnAs(QStringLiteral("anna"), kAnnaPassword)(dialog);
    });
    TLogOnSteps steps(Client());
    EXPECT_EQ(steps.CheckInitialSetup(), 4);
    EXPECT_EQ(steps.ProcessLogon(), 0);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("anna"), QStringLiteral("bob")}));
    EXPECT_EQ(version, QStringLiteral("version: 3.0\nbuild " KESTROVA_VERSION));
    EXPECT_EQ(server, Server().URL());
    EXPECT_EQ(Client().User()->UserID, kAnna);
    EXPECT_EQ(Client().User()->UserName, QStringLiteral("anna"));
    EXPECT_EQ(Client().User()->UserLevel, 1);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Last known user")), QStringLiteral("anna"));
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("No")) << "the box as it was left";
    EXPECT_TRUE(prompt.Prompts().isEmpty());
    // The session is logged on: the user's settings reach the server.
    Client().SetUserSetting(QStringLiteral("WorkhourStart"), QStringLiteral("07:30"));
    EXPECT_TRUE(Client().DMData()->SendChanges());
    EXPECT_EQ(Stored(kAnna, QStringLiteral("WorkhourStart")), QStringLiteral("07:30"));
}

// Polls the session's events on the channel without waiting for it; the reply's fault, or
// nothing when the server answered the poll.
QString PollAnswer(TROHTTPChannel &channel)
{
    TROMessage poll;
    poll.InitializeRequest(QString(), QStringLiteral("EventsService"), TROInMemoryEventRepository::PollOperation);
    std::optional<QString> failure;
    channel.DispatchAsync(poll, [&](const QByteArray &reply, const QString &error) {
        QString fault = error;
        if (fault.isEmpty())
            try {
                TROMessage answer;
                answer.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
                answer.RaiseIfError();
            } catch (const EROException &e) {
                fault = e.Message();
            }
        failure = fault;
    });
    return kestrova::test::WaitFor([&] { return failure.has_value(); }, std::chrono::seconds(20)) ? *failure
                                                                                                : QStringLiteral("no answer");
}

TEST_F(EndToEnd, AfterTheServerRestartsTheFirstCallOfEveryChannelLogsOnAgainWithTheNameFilledInAndLands)
{
    ConnectTo(Server().URL());
    Client().SetLogOnSteps(std::make_unique<TLogOnSteps>(Client()));
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    ASSERT_EQ(Client().ProcessLogon(), 0);
    Client().SetUserSetting(QStringLiteral("Before the restart"), QStringLiteral("sent"));
    ASSERT_TRUE(Client().DMData()->SendChanges());

    // Each call finds the server restarted: a save on the main channel, a poll of the events
    // channel while nobody works, a call on a channel of its own as a scheduling run makes.
    const struct
    {
        const char *call;
        std::function<QString()> send;
    } cases[] = {
        {"a save", [&] {
             Client().SetUserSetting(QStringLiteral("After the restart"), QStringLiteral("landed"));
             if (!Client().DMData()->SendChanges())
                 return QStringLiteral("not saved");
             return Stored(kAnna, QStringLiteral("After the restart")) == QStringLiteral("landed") ? QString()
                                                                                                 : QStringLiteral("not stored");
         }},
        {"an event poll", [&] { return PollAnswer(*Client().ROHTTPEvents()); }},
        {"a run's own channel", [&] { return PollAnswer(*Client().CreateAutoScheduleChannel()); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        ASSERT_EQ(Server().Restart(), QString());
        QString shownName;
        bool nameFixed = false;
        script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
            shownName = dialog.UserName();
            nameFixed = !dialog.cbUsers()->isEnabled();
            dialog.ePwd()->setText(kAnnaPassword);
            PressLater(dialog.btnOK());
        });
        EXPECT_EQ(c.send(), QString()) << "the call landed";
        EXPECT_EQ(script.Pending(), 0) << "the log-on dialog came once";
        EXPECT_EQ(shownName, QStringLiteral("anna"));
        EXPECT_TRUE(nameFixed);
        EXPECT_TRUE(prompt.Prompts().isEmpty());
    }
}

TEST_F(EndToEnd, AWrongPasswordThreeTimesEndsTheLogOnWithThreeMessages)
{
    ConnectTo(Server().URL());
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Last known user"), QStringLiteral("nobody-listed"));
    QStringList preselected;
    QString firstName;
    const auto wrong = [&](TfDlgLogin &dialog) {
        preselected << dialog.cbUsers()->currentText();
        firstName = dialog.cbUsers()->itemText(0);
        EXPECT_TRUE(dialog.ePwd()->text().isEmpty());
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(QStringLiteral("bob")));
        dialog.ePwd()->setText(QStringLiteral("not-his"));
        PressLater(dialog.btnOK());
    };
    script.Then<TfDlgLogin>(wrong).Then<TfDlgLogin>(wrong).Then<TfDlgLogin>(wrong);
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 7);
    EXPECT_EQ(script.Pending(), 0);
    EXPECT_EQ(preselected, (QStringList{firstName, QStringLiteral("bob"), QStringLiteral("bob")}))
        << "an unknown last user selects the first name, then the name last entered";
    TVOResourceHandler texts;
    texts.LoadResourceFile(program.Path(QStringLiteral("Quorva.lng")));
    ASSERT_EQ(prompt.Prompts().size(), 3);
    for (const TScriptedPrompt::Shown &shown : prompt.Prompts()) {
        EXPECT_EQ(shown.Icon, QMessageBox::Critical);
        EXPECT_EQ(shown.Caption, texts.GetString(100));
        EXPECT_EQ(shown.Text, texts.GetString(500));
    }
    EXPECT_EQ(Client().User()->UserID, EmptyGUID);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Last known user")), QStringLiteral("nobody-listed"));
}

TEST_F(EndToEnd, CancelEndsTheLogOn)
{
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>([](TfDlgLogin &dialog) { PressLater(dialog.btnCancel()); });
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 2);
}

TEST_F(EndToEnd, TheOperatingSystemAccountLogsOnWithoutTheDialogNextTime)
{
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("Yes")) << "at once";
    EXPECT_EQ(Server().Db().scalar(QStringLiteral("SELECT UseInteractiveLogon || ' ' || WindowsAccount FROM dbo.tblUsers WHERE PK_UserID = '%1'").arg(kAnna)),
              QStringLiteral("1 ") + TvoSysInfo::GetUserName());
    // What is kept for the next start is a secret in a store only the user reads, never the password.
    const QString store = TQorReg::StorePath(HKEY_CURRENT_USER);
    EXPECT_EQ(QFile::permissions(store) & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                                           QFileDevice::WriteOther),
              QFileDevice::Permissions());
    EXPECT_FALSE(FileLines(store).join(QLatin1Char('\n')).contains(kAnnaPassword));
#if __has_include("foundation/InteractiveLogon.h")
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Logon secret")),
              DeriveInteractiveLogonSecret(kAnnaPassword, QStringLiteral("anna"), TvoSysInfo::GetUserName()));
#endif
    client.reset(); // the program ends: the choice stays
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("Yes"));

    // The next start: no dialog at all.
    bool dialogShown = false;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        dialogShown = true;
        PressLater(dialog.btnCancel());
    });
    ConnectTo(Server().URL());
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(Client().User()->UserID, kAnna);
    EXPECT_TRUE(Client().GetUseWindowsLogon());
}

TEST_F(EndToEnd, AClearedWindowsAccountTickHoldsAcrossARestartAndTheNextStartShowsTheLogOnDialog)
{
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    factory.inLoop = [](TfMain &, TDMClient &host) {
        // As a plug-in's Tools menu does it when the user clears the tick.
        auto application = host_cast<IHostApplication>(&host.HYROMgr());
        ASSERT_TRUE(application);
        ASSERT_TRUE(application->GetUseWindowsLogon());
        application->SetUseWindowsLogon(false);
        EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("No")) << "at once";
    };
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("No"));

    bool dialogShown = false;
    bool ticked = true;
    factory.loopRan = false;
    factory.inLoop = {};
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        dialogShown = true;
        ticked = dialog.chkShow()->isChecked();
        LogOnAs(QStringLiteral("bob"), kBobPassword)(dialog);
    });
    RunStart();
    EXPECT_TRUE(dialogShown) << "the next start asks who logs on";
    EXPECT_FALSE(ticked);
    EXPECT_TRUE(factory.loopRan) << "and another user can log on";
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Last known user")), QStringLiteral("bob"));
}

TEST_F(EndToEnd, ARunThatEndsBeforeTheLogOnLeavesTheWindowsLogOnChoiceAsItWas)
{
    struct Case
    {
        const char *Name;
        bool ServerFound;
    };
    for (const Case c : {Case{"no server found", false}, Case{"log-on cancelled", true}}) {
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("Yes"));
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Last known user"), QStringLiteral("anna"));
        SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
        if (c.ServerFound) {
            // The automatic log-on has no secret to send: refused, the dialog, Cancel.
            program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("True"));
            script.Then<TfDlgLogin>([](TfDlgLogin &dialog) { PressLater(dialog.btnCancel()); });
        } else {
            program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("False"));
            script.Then<TfDlgServerAddress>([](TfDlgServerAddress &dialog) { PressLater(dialog.btnCancel()); });
        }
        factory.loopRan = false;
        RunStart();
        EXPECT_FALSE(factory.loopRan) << c.Name;
        EXPECT_EQ(script.Pending(), 0) << c.Name;
        EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("Yes")) << c.Name;
    }
}

TEST_F(EndToEnd, AnAutomaticLogOnTheServerRefusesFallsBackToTheDialogWithTheLastUser)
{
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Last known user"), QStringLiteral("bob"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("Yes"));
    ConnectTo(Server().URL());
    QString preselected;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        preselected = dialog.cbUsers()->currentText();
        EXPECT_TRUE(dialog.chkShow()->isChecked());
        PressLater(dialog.btnCancel());
    });
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 2);
    EXPECT_EQ(preselected, QStringLiteral("bob"));
}

TEST_F(EndToEnd, YesInLowerCaseIsNoAutomaticLogOn)
{
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    client.reset();
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("yes"));
    bool dialogShown = false;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        dialogShown = true;
        PressLater(dialog.btnCancel());
    });
    ConnectTo(Server().URL());
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 2);
    EXPECT_TRUE(dialogShown);
}

TEST_F(EndToEnd, APasswordChangesOnlyOnceTheCurrentOneIsProved)
{
    ConnectTo(Server().URL());
    bool passwordDialogShown = false;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        // A wrong current password: the change is refused before it is asked for.
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(QStringLiteral("anna")));
        dialog.ePwd()->setText(QStringLiteral("wrong"));
        emit dialog.changePasswordRequested();
        dialog.ePwd()->setText(kAnnaPassword);
        QTimer::singleShot(0, &dialog, [&dialog] { emit dialog.changePasswordRequested(); });
    });
    script.Then<TfPassword>([&](TfPassword &dialog) {
        passwordDialogShown = true;
        // Typed as a user types: the second entry holds lower case only.
        QTest::keyClicks(dialog.edPwd1(), QStringLiteral("newcredo1"));
        QTest::keyClicks(dialog.edPwd2(), QStringLiteral("NewCredo1"));
        PressLater(dialog.btnChange());
    });
    // The log-on dialog stayed open: the user logs on with the new password.
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), QStringLiteral("newcredo1")));
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0) << "logged on";
    EXPECT_TRUE(passwordDialogShown);
    ASSERT_GE(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Critical) << "the wrong current password";
    EXPECT_EQ(prompt.Prompts()[1].Text, QStringLiteral("You have successfully changed your password"));
    EXPECT_EQ(prompt.Prompts()[1].Caption, QStringLiteral("Information"));
    // The new password is the one that counts.
    std::unique_ptr<ROUser> user;
    auto service = CoLogOnService::Create(std::make_shared<TROMessage>(), Client().ROHTTP());
    EXPECT_EQ(service->VerifyUser(QStringLiteral("A01"), QStringLiteral("anna"), QStringLiteral("newcredo1"), false, QString(), false, user), 0);
    EXPECT_EQ(service->VerifyUser(QStringLiteral("A01"), QStringLiteral("anna"), kAnnaPassword, false, QString(), false, user), 7);
}

TEST_F(EndToEnd, TheSetUpWizardsNewAccountIsLoggedOn)
{
    Server().ClearUsersAndSettings();
    ConnectTo(Server().URL());
    TLogOnSteps steps(Client());
    EXPECT_EQ(steps.CheckInitialSetup(), 6);
    // What the wizard would have stored: its administrator (the test module's account).
    Server().AddUser(QStringLiteral("{5E700000-0000-0000-0000-000000000001}"), QStringLiteral("Pastor"), QStringLiteral("Secret1"), kAdministrator);
    EXPECT_TRUE(steps.RunInitialSetup());
    EXPECT_EQ(Client().User()->UserName, QStringLiteral("Pastor"));
    EXPECT_EQ(Client().User()->UserLevel, int(kAdministrator));
    Client().SetUserSetting(QStringLiteral("ActiveGroup"), QStringLiteral("1"));
    EXPECT_TRUE(Client().DMData()->SendChanges()) << "the session is logged on";
}

TEST_F(EndToEnd, ADatabaseWithoutUsersReachesTheSetUpHandOverAndWithoutItsModuleTheStartEnds)
{
    Server().ClearUsersAndSettings();
    // Only navigation modules: nothing offers the set-up wizard.
    QFile::remove(program.Path(QStringLiteral("PlugIns/TestService.qor")));
    RunStart();
    EXPECT_FALSE(factory.loopRan);
    TVOResourceHandler texts;
    texts.LoadResourceFile(program.Path(QStringLiteral("Quorva.lng")));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, texts.GetString(13));
    const QStringList lines = StartLog();
    const int handOver = IndexOf(lines, QStringLiteral("Main\tMain Start initial setup"));
    EXPECT_NE(handOver, -1);
    EXPECT_GT(IndexOf(lines, QStringLiteral("DMClient\tRunInitialSetup The database has no users yet")), handOver);
    EXPECT_GT(IndexOf(lines, QStringLiteral("Quorva\tMain Unable to run Initial Setup")), handOver);
    EXPECT_EQ(IndexOf(lines, QStringLiteral("ProcessLogon")), -1);
}

// --- the main window of a whole start -----------------------------------------------------------

TEST_F(EndToEnd, AfterTheLogOnTheMainWindowShowsExactlyTheItemsOfTheUsersLevel)
{
    struct Case
    {
        QString Name;
        QString Password;
        QStringList Groups;
    };
    const Case cases[] = {
        {QStringLiteral("anna"), kAnnaPassword,
         {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar, Editors' board, Editors' schedule")}},
        {QStringLiteral("bob"), kBobPassword,
         {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar, Editors' board, Editors' schedule"),
          QStringLiteral("Administration: Locations, Users")}},
    };
    for (const Case &c : cases) {
        QStringList groups;
        QString title;
        factory.loopRan = false;
        factory.inLoop = [&](TfMain &window, TDMClient &) {
            groups = Captions(window.NavBarGroups());
            title = window.windowTitle();
        };
        script.Then<TfDlgLogin>(LogOnAs(c.Name, c.Password));
        RunStart();
        EXPECT_TRUE(factory.loopRan) << c.Name.toStdString();
        EXPECT_EQ(groups, c.Groups) << c.Name.toStdString();
        EXPECT_EQ(title, c.Name + QStringLiteral(" - Kestrova"));
        const QStringList lines = StartLog();
        EXPECT_EQ(Matching(lines, QStringLiteral(" : Severe ")), QStringList()) << c.Name.toStdString();
        EXPECT_NE(IndexOf(lines, QStringLiteral("Information\tMain\tServers: 1")), -1) << "found by discovery";
    }
}

TEST_F(EndToEnd, PlacementAndPaneStatesSurviveARestart)
{
    factory.inLoop = [](TfMain &window, TDMClient &) {
        window.move(140, 90);
        window.resize(900, 620);
        window.SetNavBarVisible(false);
        window.docSmartHelp()->SetAutoHide(true);
        window.OnNavItemClick(1, 1);
    };
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("WindowsLeft")), QStringLiteral("140"));
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("WindowsWidth")), QStringLiteral("900"));
    EXPECT_EQ(Stored(kAnna, QStringLiteral("NavBarVisible")), QStringLiteral("0"));
    EXPECT_EQ(Stored(kAnna, QStringLiteral("SmartHelpAutoHide")), QStringLiteral("-1"));
    EXPECT_EQ(Stored(kAnna, QStringLiteral("NavBarAutoHide")), QStringLiteral("0"));
    // The item to open comes from the settings, which the window only reads.
    Server().Db().exec(QStringLiteral("INSERT INTO dbo.tblSettings (APPID, F_UserID, SettingsKey, SettingsValue, SystemSetting) VALUES "
                                      "('A01', '%1', 'ActiveGroup', '1', 0), ('A01', '%1', 'ActiveItem', '2', 0)").arg(kAnna));

    QPoint position;
    QSize size;
    bool navBarVisible = true;
    bool smartHelpAutoHide = false;
    QString activeCaption;
    factory.loopRan = false;
    factory.inLoop = [&](TfMain &window, TDMClient &) {
        position = window.pos();
        size = window.size();
        navBarVisible = window.GetNavBarVisible();
        smartHelpAutoHide = window.docSmartHelp()->AutoHide();
        if (window.ActiveGroup() >= 0)
            activeCaption = window.NavBarGroups()[window.ActiveGroup()].Items[window.ActiveItem()].Caption;
    };
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(position, QPoint(140, 90));
    EXPECT_EQ(size, QSize(900, 620));
    EXPECT_FALSE(navBarVisible);
    EXPECT_TRUE(smartHelpAutoHide);
    EXPECT_EQ(activeCaption, QStringLiteral("Editors' schedule"));
}

TEST_F(EndToEnd, TheAboutBoxTheWhatsNewPageAndTheHelpOpenWithTheirTexts)
{
    // This version's page, as the build stages it.
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/" KESTROVA_VERSION ".html"), program.Path(QStringLiteral(KESTROVA_VERSION ".html"))));

    QString whatsNew;
    QString version;
    factory.inLoop = [&](TfMain &window, TDMClient &host) {
        script.Then<TfWhatsNew>([&](TfWhatsNew &shown) {
            whatsNew = shown.reWhatsNew()->toPlainText();
            PressLater(shown.btnClose());
        });
        EXPECT_TRUE(WaitFor([&] { return script.Pending() == 0 && !window.tmrWhatsNew()->isActive(); }, 10s));
        WaitFor([] { return false; }, 100ms);
        script.Then<TfAbout>([&](TfAbout &shown) {
            version = shown.lblVersion()->text();
            QTimer::singleShot(30, &shown, [&shown] { shown.PictureClick(); });
        });
        if (auto about = host_cast<IAboutHost>(&host.HYROMgr()))
            about->ShowAboutDialog();
    };
    script.Then<TfDlgLogin>([](TfDlgLogin &dialog) {
        dialog.btnHelp()->click();
        LogOnAs(QStringLiteral("anna"), kAnnaPassword)(dialog);
    });
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_TRUE(whatsNew.contains(QStringLiteral("What is new in this version of Kestrova"))) << whatsNew.toStdString();
    EXPECT_EQ(version, QStringLiteral("Version " KESTROVA_VERSION));
    EXPECT_EQ(opened, QStringList{program.Path(QStringLiteral("help/Login_Dialog.html"))});
    for (const char *topic : {"Login_Dialog", "Reports", "index"})
        EXPECT_TRUE(QFile::exists(QStringLiteral(KESTROVA_STAGE_DIR "/help/") + QLatin1String(topic) + QStringLiteral(".html"))) << topic;
}

// --- the staged plug-ins in the main window --------------------------------------------------------

// Where a press opens a tool button's menu: the whole button, or its arrow.
QPoint MenuPressPoint(QToolButton &button)
{
    if (button.popupMode() != QToolButton::MenuButtonPopup)
        return button.rect().center();
    QStyleOptionToolButton option;
    option.initFrom(&button);
    option.subControls = QStyle::SC_ToolButton | QStyle::SC_ToolButtonMenu;
    option.features = QStyleOptionToolButton::MenuButtonPopup | QStyleOptionToolButton::HasMenu;
    return button.style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, &button).center();
}

TEST_F(EndToEnd, EveryPlugInsExitThroughItsMenuAndItsToolbarClosesTheWindowAndTheRunEndsCleanly)
{
    ASSERT_TRUE(UseStagedPlugIns(program)) << "no staged plug-ins in " KESTROVA_STAGE_DIR;
    enum class Route { ToolbarMenuByMouse, MenuOpened, OwnButton };
    QStringList left;
    QStringList without;
    factory.inLoop = [&](TfMain &window, TDMClient &) {
        for (int g = 0; g < window.NavBarGroups().size(); ++g)
            for (int i = 0; i < window.NavBarGroups()[g].Items.size(); ++i) {
                const QString name = window.NavBarGroups()[g].Items[i].PluginName;
                int routes = 0;
                for (const Route route : {Route::ToolbarMenuByMouse, Route::MenuOpened, Route::OwnButton}) {
                    window.show();
                    window.OnNavItemClick(g, i);
                    QAction *exit = nullptr;
                    QToolButton *button = ExitButton(window, route != Route::OwnButton, exit);
                    if (!button)
                        continue;
                    const QString way = route == Route::ToolbarMenuByMouse ? QStringLiteral(" toolbar menu")
                                        : route == Route::MenuOpened       ? QStringLiteral(" menu")
                                                                           : QStringLiteral(" toolbar button");
                    const std::string label = (name + way).toStdString();
                    if (route == Route::OwnButton) {
                        QTest::mouseClick(button, Qt::LeftButton);
                    } else {
                        // The menu's own loop runs under the button: the user picks Exit in it, and
                        // in a submenu when it sits there.
                        QTimer pick;
                        pick.setInterval(20);
                        QObject::connect(&pick, &QTimer::timeout, [exit] {
                            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                            if (!menu)
                                return;
                            for (QAction *action : menu->actions())
                                if (action == exit || (action->menu() && FindExit(action->menu()->actions()) == exit)) {
                                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                                    return;
                                }
                        });
                        pick.start();
                        if (route == Route::ToolbarMenuByMouse)
                            QTest::mousePress(button, Qt::LeftButton, {}, MenuPressPoint(*button));
                        else
                            button->showMenu();
                    }
                    EXPECT_TRUE(WaitFor([&] { return !window.isVisible(); }, 10s)) << label;
                    EXPECT_EQ(window.ActivePlugin(), nullptr) << label;
                    left << name + way;
                    ++routes;
                }
                if (routes == 0)
                    without << name;
            }
    };
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("bob"), kBobPassword));
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_TRUE(without.isEmpty()) << "views without an Exit: " << without.join(QStringLiteral(", ")).toStdString();
    EXPECT_GE(left.size(), 8) << left.join(QStringLiteral(", ")).toStdString();
    RecordProperty("routes", left.join(QStringLiteral(", ")).toStdString());
    const QStringList lines = StartLog();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("System Shutdown")));
}

// --- the program itself -----------------------------------------------------------------------------

TEST_F(EndToEnd, TheQuorvaProgramLogsOnWithTheOperatingSystemAccountAndOpensTheFirstItemOfItsMainWindow)
{
    // A password log-on that asks for the automatic one, as the user did it the last time.
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    ASSERT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    client.reset();
    // A client installation that always uses its preferred server: no discovery of other servers.
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), Server().URL());
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Always use preferred server"), QStringLiteral("TRUE"));
    const QString quorva = program.Path(QStringLiteral("Quorva"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/Quorva"), quorva));
    const QDir stage(QStringLiteral(KESTROVA_STAGE_DIR));
    for (const QString &library : stage.entryList({QStringLiteral("*.so")}, QDir::Files))
        ASSERT_TRUE(QFile::link(stage.filePath(library), program.Path(library)));
    QFile::remove(program.Path(QStringLiteral("session.txt")));

    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(program.Path(QStringLiteral("console.txt")));
    process.start(quorva, {});
    ASSERT_TRUE(process.waitForStarted());
    const bool reached = WaitFor(
        [&] { return IndexOf(StartLog(), QStringLiteral("activated plgTestCalendar")) != -1 || process.state() == QProcess::NotRunning; },
        90s);
    const bool running = process.state() == QProcess::Running;
    if (running && process.processId() > 0) {
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(30000);
    }
    const QStringList lines = StartLog();
    ASSERT_TRUE(reached && running) << lines.join(QLatin1Char('\n')).toStdString()
                                    << FileLines(program.Path(QStringLiteral("console.txt"))).join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Main\tServer: ") + Server().URL()), -1);
    EXPECT_EQ(Matching(lines, QStringLiteral(" : Severe ")), QStringList());
}

// --- a computer with the client only ----------------------------------------------------------------

namespace {

constexpr QFileDevice::Permissions kSharedFolder = QFileDevice::Permissions(0x7755);

QByteArray Encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The installed files any user may read that hold one of the texts, and those others may change.
QStringList ExposedFiles(const QString &folder, const QList<QByteArray> &secrets)
{
    QStringList exposed;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        if (file.ownerId() != 0 || (file.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther)))
            exposed << file.filePath() + QStringLiteral(" (others may change it)");
        if (!(file.permissions() & QFileDevice::ReadOther))
            continue;
        const QByteArray bytes = FileBytes(file.filePath());
        for (const QByteArray &secret : secrets)
            if (bytes.contains(secret))
                exposed << file.filePath() + QStringLiteral(" (holds ") + QString::fromUtf8(secret) + QLatin1Char(')');
    }
    return exposed;
}

} // namespace

TEST_F(EndToEnd, AClientInstalledAsTheDocsSayStartsForAnOrdinaryUserWithItsFilesInTheUsersFolderAndNoPasswordInstalled)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing into a folder of root's and starting the client as another user needs root";

    // The docs' client-only steps are the script's, so that the two cannot part.
    const QString docs = QString::fromUtf8(FileBytes(QStringLiteral(KESTROVA_SOURCE_DIR "/docs/installing.md")));
    const qsizetype section = docs.indexOf(QStringLiteral("## A computer with the client only"));
    ASSERT_NE(section, -1);
    EXPECT_TRUE(docs.mid(section).contains(QStringLiteral("```sh\nscripts/install-client ")));

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    ASSERT_TRUE(QFile::setPermissions(work.path(), kSharedFolder));
    const QDir root(work.path());
    const QString stage = root.filePath(QStringLiteral("stage"));
    const QString target = root.filePath(QStringLiteral("opt/kestrova-client"));
    const QString home = root.filePath(QStringLiteral("home"));
    const QString registry = home + QStringLiteral("/registry");
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString state = home + QStringLiteral("/.local/state/Orbek/Kestrova");
    for (const QString &folder : {root.filePath(QStringLiteral("opt")), registry, bin})
        ASSERT_TRUE(QDir().mkpath(folder) && QFile::setPermissions(folder, kSharedFolder)) << folder.toStdString();
    ASSERT_TRUE(AsOrdinaryUser::GiveToUser(home) && AsOrdinaryUser::GiveToUser(registry));

    // The stage as a server's checkout leaves it: its settings file is the server's, owner-only,
    // with the database's password in the data source.
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), stage}), 0);
    const QByteArray password = "Pa55;" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QFile::remove(stage + QStringLiteral("/Settings.ini"));
    ASSERT_TRUE(IniFile::writeStrings(
        stage + QStringLiteral("/Settings.ini"),
        {{QStringLiteral("Data Access"), QStringLiteral("Datatype"), QStringLiteral("MSSQL")},
         {QStringLiteral("Data Access"), QStringLiteral("DataSource"),
          QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=db.parish.local;Initial Catalog=kestrova;User ID=kestrova;Password=")
              + QString::fromUtf8(password) + QLatin1Char(';')},
         {QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("8099")},
         {QStringLiteral("System settings"), QStringLiteral("Animate splash"), QStringLiteral("False")}},
        QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    // The machine's store a server started here once left behind, without the mark.
    ASSERT_TRUE(IniFile::writeStrings(registry + QStringLiteral("/machine.ini"),
                                      {{ProductKey, QStringLiteral("Server run-mode"), QStringLiteral("Service")},
                                       {ProductKey, QStringLiteral("Server path"), stage}}));
    QProcess install;
    QProcessEnvironment installEnvironment = QProcessEnvironment::systemEnvironment();
    installEnvironment.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), registry);
    install.setProcessEnvironment(installEnvironment);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(KESTROVA_SOURCE_DIR "/scripts/install-client"), {stage, target});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

    EXPECT_EQ(ExposedFiles(target, {password, QByteArrayLiteral("[Data Access]")}), QStringList());
    const QString guide = target + QStringLiteral("/docs/Kestrova Getting Started Guide.pdf");
    EXPECT_TRUE(FileBytes(guide).startsWith("%PDF-"));
    for (const char *tool : {"Update", "Diagnose", "Quorva"})
        EXPECT_TRUE(QFile::permissions(target + QLatin1Char('/') + QLatin1String(tool)) & QFileDevice::ExeOther) << tool;
    EXPECT_EQ(IniFile::readString(registry + QStringLiteral("/machine.ini"), ProductKey, QStringLiteral("Installation Type"), QString()),
              QStringLiteral("Client"));
    EXPECT_EQ(IniFile::readString(registry + QStringLiteral("/machine.ini"), ProductKey, QStringLiteral("Server path"), QString()), stage);
    EXPECT_EQ(IniFile::readString(target + QStringLiteral("/Settings.ini"), TClientConfiguration::Section,
                                  QStringLiteral("Animate splash"), QString()),
              QStringLiteral("False"));

    // Help's "Getting started" hands the guide to the desktop's opener, which here notes it.
    const QString openedFile = home + QStringLiteral("/opened.txt");
    {
        QFile opener(bin + QStringLiteral("/xdg-open"));
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
        opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(openedFile).toUtf8());
    }
    ASSERT_TRUE(QFile::setPermissions(bin + QStringLiteral("/xdg-open"), kSharedFolder));

    const ScopedEnvironment environment{{"HOME", Encoded(home)},
                                        {"XDG_STATE_HOME", QByteArray()},
                                        {"XDG_CONFIG_HOME", QByteArray()},
                                        {"KESTROVA_REGISTRY_DIR", Encoded(registry)},
                                        {"PATH", Encoded(bin) + ':' + qgetenv("PATH")}};
    const QString quorvaPath = target + QStringLiteral("/Quorva");
    const auto start = [&] {
        TQuorvaSteps steps(quorvaPath, factory);
        TQuorvaStartup(steps, quorvaPath, QStringLiteral(KESTROVA_VERSION)).Run();
    };
    int whatsNewShown = 0;
    const auto whatsNew = [&](TfMain &window, bool tick) {
        script.Then<TfWhatsNew>([&whatsNewShown, tick](TfWhatsNew &shown) {
            ++whatsNewShown;
            shown.chkDontShow()->setChecked(tick);
            PressLater(shown.btnClose());
        });
        EXPECT_TRUE(WaitFor([&] { return !window.tmrWhatsNew()->isActive(); }, 10s));
        WaitFor([&] { return whatsNewShown > 0 && !QApplication::activeModalWidget(); }, 500ms);
    };

    // The first start of a user: the update the server holds waits for an administrator; the
    // log-on, the what's-new page with its box ticked, Getting started.
    const QString updates = Server().Folder() + QStringLiteral("/Updates");
    ASSERT_TRUE(QDir().mkpath(updates + QStringLiteral("/1.0.0.3/help")));
    auto unstage = qScopeGuard([&] { QDir(updates).removeRecursively(); });
    {
        const AsOrdinaryUser user;
        ASSERT_TRUE(user.Ordinary());
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), Server().URL());
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Always use preferred server"), QStringLiteral("TRUE"));
        script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
        factory.inLoop = [&](TfMain &window, TDMClient &host) {
            whatsNew(window, true);
            auto application = host_cast<IHostApplication>(&host.HYROMgr());
            ASSERT_TRUE(application);
            application->OpenGettingStartedGuide();
        };
        start();
    }
    unstage.dismiss();
    QDir(updates).removeRecursively();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(whatsNewShown, 1);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    TVOResourceHandler texts;
    texts.LoadResourceFile(target + QStringLiteral("/Quorva.lng"));
    EXPECT_EQ(prompt.Prompts()[0].Text, texts.GetString(14).arg(QStringLiteral("1.0.0.3")));
    QStringList lines = FileLines(state + QStringLiteral("/session.txt"));
    EXPECT_NE(IndexOf(lines, QStringLiteral("Warning    \tDMClient\tCheckForUpdate The client update 1.0.0.3 waits")), -1)
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(IndexOf(lines, QStringLiteral("Updating client")), -1);
    EXPECT_EQ(IndexOf(lines, QStringLiteral("Missing report folder")), -1) << "the report layouts are installed";
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tSession files: ") + target), -1) << lines.join(QLatin1Char('\n')).toStdString();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("System Shutdown")));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/session.txt")));
    EXPECT_EQ(IniFile::readString(state + QStringLiteral("/Settings.ini"), TClientConfiguration::Section, QStringLiteral("ShowWhatsNew"), QString()),
              QStringLiteral("False"));
    EXPECT_TRUE(WaitFor([&] { return FileBytes(openedFile).contains(QUrl::fromLocalFile(guide).toString().toUtf8()); }, 10s))
        << FileBytes(openedFile).toStdString();

    // The next start: "Don't show this again" held.
    whatsNewShown = 0;
    factory.loopRan = false;
    {
        const AsOrdinaryUser user;
        // The log-on dialog again, so that the script's steps come in a known order.
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("No"));
        script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
        factory.inLoop = [&](TfMain &window, TDMClient &) { whatsNew(window, false); };
        start();
    }
    EXPECT_TRUE(factory.loopRan);
    EXPECT_EQ(whatsNewShown, 0);

    // The installed program itself, started by that user: it logs on with the account, as the
    // last start asked, and runs with its log in the user's folder.
    QFile::remove(state + QStringLiteral("/session.txt"));
    QProcessEnvironment userEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        userEnvironment.remove(QLatin1String(name));
    userEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    userEnvironment.insert(QStringLiteral("USER"), QStringLiteral("nobody"));
    userEnvironment.insert(QStringLiteral("LOGNAME"), QStringLiteral("nobody"));
    QProcess quorva;
    quorva.setProcessEnvironment(userEnvironment);
    quorva.setWorkingDirectory(home);
    quorva.setStandardOutputFile(QProcess::nullDevice());
    quorva.setStandardErrorFile(root.filePath(QStringLiteral("console.txt")));
    quorva.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                             QStringLiteral("--clear-groups"), QStringLiteral("--"), quorvaPath});
    ASSERT_TRUE(quorva.waitForStarted());
    const auto log = [&] { return FileLines(state + QStringLiteral("/session.txt")); };
    const bool connected = WaitFor(
        [&] { return IndexOf(log(), QStringLiteral("Main\tServer: ") + Server().URL()) != -1 || quorva.state() == QProcess::NotRunning; },
        90s);
    // Past the log-on it stays in its main window; a refused start would end here. Then it
    // crashes, and its report goes where its log went.
    WaitFor([&] { return quorva.state() == QProcess::NotRunning; }, 3s);
    const bool running = quorva.state() == QProcess::Running;
    if (running)
        ::kill(pid_t(quorva.processId()), SIGABRT);
    quorva.waitForFinished(30000);
    lines = log();
    ASSERT_TRUE(connected && running) << lines.join(QLatin1Char('\n')).toStdString()
                                      << FileBytes(root.filePath(QStringLiteral("console.txt"))).toStdString();
    EXPECT_EQ(Matching(lines, QStringLiteral(" : Severe ")), QStringList());
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tSession files: ") + target), -1);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/session.txt")));
    EXPECT_TRUE(FileBytes(state + QStringLiteral("/crashreport.txt")).contains("Signal: SIGABRT"));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/crashreport.txt")));
}
