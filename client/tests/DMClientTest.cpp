// The client data module without a server: the settings file and its fallbacks, the splash, the
// update check and hand-over, the server-event handlers with their windows, modal plug-ins, and
// every host interface as a test plug-in reaches it.
#include "client/ufMain.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "ui/PromptService.h"
#include "client/ufProgress.h"
#include "client/uxBaseForm.h"

#include "testsupport/ClientTestSupport.h"
#include "client/tests/modules/TestProbe.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "remoting/ROErrors.h"
#include "remoting/ROEventReceiver.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"

#include "Quorva_Data_Service_Intf.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace {

class DMClient : public ::testing::Test
{
protected:
    TDMClient &Client()
    {
        if (!client)
            client = std::make_unique<TDMClient>(folder.ProgramPath());
        return *client;
    }
    void Ready()
    {
        Client().ReadConfiguration();
        Client().LoadHydraModules();
    }
    QStringList Log() const { return log.lines(); }

    LogCapture log;
    ProgramFolder folder;
    std::unique_ptr<TDMClient> client;
};

// A progress window that stays "open" until the run is over.
class FakeProgressWindow : public IServerProgressWindow
{
public:
    explicit FakeProgressWindow(QStringList &record) : m_record(record) {}
    void ShowModal() override
    {
        m_visible = true;
        m_record << QStringLiteral("shown");
        WaitFor([this] { return !m_visible; }, 5s);
    }
    bool IsVisible() override { return m_visible; }
    void UpdateProgress(int position, int maximum) override { m_record << QStringLiteral("%1/%2").arg(position).arg(maximum); }
    void AllowCloseAndClose() override
    {
        m_record << QStringLiteral("closed");
        m_visible = false;
    }

private:
    QStringList &m_record;
    bool m_visible = false;
};

class FakeProgressFactory : public IServerProgressFactory
{
public:
    explicit FakeProgressFactory(QStringList &record) : m_record(record) {}
    std::unique_ptr<IServerProgressWindow> CreateWatching() override
    {
        m_record << QStringLiteral("watching");
        return std::make_unique<FakeProgressWindow>(m_record);
    }
    std::unique_ptr<IServerProgressWindow> CreateRunning(const QStringList &templates, const QStringList &functions,
                                                         const QDateTime &from, const QDateTime &to) override
    {
        m_record << QStringLiteral("running %1 %2 %3 %4")
                        .arg(templates.join(QLatin1Char(',')), functions.join(QLatin1Char(',')), from.date().toString(Qt::ISODate),
                             to.date().toString(Qt::ISODate));
        auto window = std::make_unique<FakeProgressWindow>(m_record);
        // The run ends on its own a moment later, as the server's end event would.
        QTimer::singleShot(20, [window = window.get()] { window->AllowCloseAndClose(); });
        return window;
    }

private:
    QStringList &m_record;
};

class FakeNotifier : public IPopupNotifier
{
public:
    TPopupNotice notice;
    std::function<void(const QString &)> click;
    void ShowPopup(const TPopupNotice &shown, std::function<void(const QString &)> onClick) override
    {
        notice = shown;
        click = std::move(onClick);
    }
};

class RecordingMainWindow : public TfMain
{
public:
    QList<int> targets;
    void OpenPopupTarget(int eventType) override { targets << eventType; }
};

} // namespace

// --- the settings file ----------------------------------------------------------------------

TEST_F(DMClient, WithoutASettingsFileEveryKeyFallsBack)
{
    Client().ReadConfiguration();
    const TClientConfiguration &config = Client().Configuration();
    EXPECT_EQ(Client().ApplicationID(), QStringLiteral("A01"));
    EXPECT_EQ(config.HelpFile(), folder.Path(QStringLiteral("help/index.html")));
    EXPECT_TRUE(Client().UseDiscovery());
    EXPECT_EQ(config.LanguagePack(), folder.Path(QStringLiteral("Quorva.lng")));
    EXPECT_EQ(Client().PluginsFolder(), folder.PluginsFolder() + QLatin1Char('/'));
    EXPECT_TRUE(config.AnimateSplash());
    EXPECT_EQ(config.ServicePack(), QStringLiteral("0"));
    EXPECT_TRUE(config.ShowWhatsNew());
    EXPECT_TRUE(config.EnableReportDesigner());
    EXPECT_FALSE(Client().IsMailAvailable());
    EXPECT_EQ(Client().GetText(10), QStringLiteral("Kestrova"));
}

TEST_F(DMClient, TheSettingsFileIsReadWithEmptyValuesFallingBack)
{
    folder.SetSetting(QStringLiteral("ApplicationID"), QStringLiteral("B07"));
    folder.SetSetting(QStringLiteral("Helpfile"), QString());
    folder.SetSetting(QStringLiteral("LanguagePack"), QString());
    folder.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("false"));
    folder.SetSetting(QStringLiteral("animate SPLASH"), QStringLiteral("tRuE"));
    folder.SetSetting(QStringLiteral("Service Pack"), QStringLiteral("2"));
    folder.SetSetting(QStringLiteral("ShowWhatsNew"), QStringLiteral("false"));
    folder.SetSetting(QStringLiteral("Enable Report Designer"), QStringLiteral("0"));
    folder.SetSetting(QStringLiteral("smtpserver"), QStringLiteral("mail.example.org"), QStringLiteral("Mail"));
    Client().ReadConfiguration();
    const TClientConfiguration &config = Client().Configuration();
    EXPECT_EQ(Client().ApplicationID(), QStringLiteral("B07"));
    EXPECT_EQ(config.HelpFile(), folder.Path(QStringLiteral("help/index.html")));
    EXPECT_EQ(config.LanguagePack(), folder.Path(QStringLiteral("Quorva.lng")));
    EXPECT_FALSE(Client().UseDiscovery());
    EXPECT_TRUE(config.AnimateSplash());
    EXPECT_EQ(config.ServicePack(), QStringLiteral("2"));
    EXPECT_FALSE(config.ShowWhatsNew());
    EXPECT_FALSE(config.EnableReportDesigner());
    EXPECT_TRUE(Client().IsMailAvailable());
    EXPECT_EQ(Client().GetCDOConfiguration().toMap().value(QStringLiteral("smtpserver")).toString(), QStringLiteral("mail.example.org"));
}

TEST_F(DMClient, AMissingReportFolderFallsBackToTheProgramFolder)
{
    Client().ReadConfiguration();
    EXPECT_EQ(Client().GetReportFolder(), folder.Path() + QLatin1Char('/'));
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Warning    \tMain\tMissing report folder: ")).isEmpty());
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Severe     \tMain\tUnable to locate Helpfile.")).isEmpty());
    QDir(folder.Path()).mkdir(QStringLiteral("Reports"));
    Client().ReadConfiguration();
    EXPECT_EQ(Client().GetReportFolder(), folder.Path(QStringLiteral("Reports/")));
}

TEST_F(DMClient, AMissingPlugInsFolderRefusesTheStart)
{
    folder.SetSetting(QStringLiteral("Plugins Path"), folder.Path(QStringLiteral("Elsewhere")));
    try {
        Client().ReadConfiguration();
        FAIL() << "no exception";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Missing plugins folder!");
    }
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Severe     \tMain\tMissing PlugIns folder: ") + folder.Path(QStringLiteral("Elsewhere"))).isEmpty());
}

TEST_F(DMClient, AMissingLanguageModuleRefusesTheStart)
{
    QFile::remove(folder.Path(QStringLiteral("Quorva.lng")));
    EXPECT_THROW(Client().ReadConfiguration(), std::runtime_error);
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Main\tUnable to locate languagepack.")).isEmpty());
}

// --- splash ---------------------------------------------------------------------------------

TEST_F(DMClient, TheSplashShowsTheStartUpTextsAndFadesOut)
{
    folder.AddModule(QStringLiteral("TestService"));
    Ready();
    Client().LoadSplash();
    Client().ShowSplash();
    ASSERT_NE(Client().SplashForm(), nullptr);
    EXPECT_TRUE(Client().SplashForm()->isVisible());
    Client().UpdateSplash(QStringLiteral("Connecting"));
    Client().UnloadSplash();
    EXPECT_FALSE(Client().SplashForm()->isVisible());
    EXPECT_EQ(Client().SplashForm()->AlphaBlendValue(), 15); // 255, 245, ... down to the last above 10
    EXPECT_EQ(Client().HYROMgr().LivePluginCount(), 0);
    const QStringList lines = Log();
    const int animate = IndexOf(lines, QStringLiteral("splash animate 1"));
    const int text = IndexOf(lines, QStringLiteral("splash text Connecting"));
    const int released = IndexOf(lines, QStringLiteral("released plgSplash"));
    EXPECT_NE(animate, -1);
    EXPECT_GT(text, animate);
    EXPECT_GT(released, text);
}

TEST_F(DMClient, AnimateSplashFalseInAnyCaseSkipsTheFade)
{
    folder.SetSetting(QStringLiteral("Animate splash"), QStringLiteral("fALSE"));
    folder.AddModule(QStringLiteral("TestService"));
    Ready();
    Client().LoadSplash();
    Client().ShowSplash();
    Client().UnloadSplash();
    EXPECT_EQ(Client().SplashForm()->AlphaBlendValue(), 0); // as the host form began
    EXPECT_EQ(Client().HYROMgr().LivePluginCount(), 0);
}

TEST_F(DMClient, WithoutASplashModuleTheStartGoesOnWithoutOne)
{
    folder.AddModule(QStringLiteral("TestViews"));
    Ready();
    Client().LoadSplash();
    Client().ShowSplash();
    Client().UpdateSplash(QStringLiteral("ignored"));
    Client().UnloadSplash();
    ASSERT_NE(Client().SplashForm(), nullptr);
    EXPECT_FALSE(Client().SplashForm()->isVisible());
}

// --- update ---------------------------------------------------------------------------------

TEST_F(DMClient, WithoutTheUpdateProgramThereIsNoUpdateAndTheStartGoesOn)
{
    Client().ReadConfiguration();
    EXPECT_EQ(Client().CheckForUpdate(), TDMClient::NoUpdate);
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Warning    \tMain\tCheckForUpdate Could not locate Update")).isEmpty());
}

TEST_F(DMClient, TheUpdaterGetsTheServerTheApplicationAndTheProgramAsSeparateArguments)
{
    // A program folder with a blank in its name stays one argument.
    QDir(folder.Path()).mkdir(QStringLiteral("Kestrova Client"));
    const QString program = folder.Path(QStringLiteral("Kestrova Client/Quorva"));
    const QString received = folder.Path(QStringLiteral("arguments.txt"));
    QFile updater(folder.Path(QStringLiteral("Kestrova Client/Update")));
    ASSERT_TRUE(updater.open(QIODevice::WriteOnly));
    updater.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '%1.part' && mv '%1.part' '%1'\n").arg(received).toUtf8());
    updater.close();
    updater.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TDMClient inBlankFolder(program);
    inBlankFolder.ROHTTP()->SetTargetURL(QStringLiteral("http://server.example:8099/BIN"));
    ASSERT_TRUE(inBlankFolder.StartUpdater());
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(received); }, 10s));
    QFile answer(received);
    ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(answer.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({QStringLiteral("http://server.example:8099/BIN"), QStringLiteral("A01"), program}) +
                  QCoreApplication::arguments().mid(1))
        << "the client's own arguments follow, for its restart";
}

// --- channels -------------------------------------------------------------------------------

namespace {

// Takes each request and fails it: the request reached it.
class FailingServer : public QTcpServer
{
public:
    int requests = 0;
    FailingServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (socket->readAll().contains("POST"))
                        ++requests;
                    socket->write("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
};

} // namespace

TEST_F(DMClient, ACallThatReachedTheServerIsNotSentAgain)
{
    FailingServer server;
    Client().ROHTTP()->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/BIN").arg(server.serverPort()));
    EXPECT_THROW(CoLogOnService::Create(Client().ROBinMgs(), Client().ROHTTP())->GetServerVersion(), std::exception);
    EXPECT_EQ(server.requests, 1);
    // A second call is a call of its own: it is not refused for the failures of the first.
    EXPECT_THROW(CoLogOnService::Create(Client().ROBinMgs(), Client().ROHTTP())->GetServerVersion(), std::exception);
    EXPECT_EQ(server.requests, 2);
}

TEST_F(DMClient, TheEventsChannelGivesUpOnAPollAndReportsTheLostConnectionOnce)
{
    const QString nowhere = QStringLiteral("http://127.0.0.1:1/BIN");
    Client().ROHTTP()->SetTargetURL(nowhere);
    Client().ROHTTPEvents()->SetTargetURL(nowhere);
    for (int call = 0; call < 2; ++call)
        EXPECT_THROW(CoLogOnService::Create(Client().ROBinMgs(), Client().ROHTTP())->GetServerVersion(), std::exception);
    Client().ROEventReceiver()->SetInterval(20ms);
    Client().ConnectEventHandler();
    EXPECT_TRUE(WaitFor([&] { return !log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("ROHTTPEventsFailure")).isEmpty(); }, 10s));
    EXPECT_TRUE(WaitFor([&] { return log.texts(QStringLiteral("Severe"), QStringLiteral("ROEventReceiver"), QStringLiteral("Poll")).size() >= 1; }, 10s));
    WaitFor([] { return false; }, 300ms);
    Client().DisConnectEventHandler();
    // Every poll gave up, yet the loss is reported once.
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("ROHTTPEventsFailure")).size(), 1);
}

// --- server events --------------------------------------------------------------------------

TEST_F(DMClient, ConnectingTheEventHandlerRegistersBothSinksOnce)
{
    Client().ConnectEventHandler();
    EXPECT_TRUE(Client().ROEventReceiver()->Active());
    EXPECT_TRUE(Client().ROEventReceiver()->HasHandlers(QStringLiteral("AutoScheduleEvent")));
    EXPECT_TRUE(Client().ROEventReceiver()->HasHandlers(QStringLiteral("ClientPopupEvent")));
    Client().ConnectEventHandler();
    Client().DisConnectEventHandler();
    EXPECT_FALSE(Client().ROEventReceiver()->Active());
    EXPECT_FALSE(Client().ROEventReceiver()->HasHandlers(QStringLiteral("AutoScheduleEvent")));
}

TEST_F(DMClient, ARunStartedElsewhereOpensTheWatchingWindowUntilItsEnd)
{
    QStringList record;
    Client().SetServerProgressFactory(std::make_unique<FakeProgressFactory>(record));
    Client().OnAutoScheduleBegin();
    EXPECT_TRUE(Client().AutoScheduleRunning());
    QTimer::singleShot(300, [&] {
        Client().OnAutoScheduleBegin(); // a second begin opens no second window
        Client().OnAutoScheduleProgress(3, 10);
        Client().OnAutoScheduleEnd();
    });
    ASSERT_TRUE(WaitFor([&] { return record.contains(QStringLiteral("closed")); }, 5s));
    WaitFor([] { return false; }, 200ms);
    EXPECT_EQ(record, (QStringList{QStringLiteral("watching"), QStringLiteral("shown"), QStringLiteral("3/10"), QStringLiteral("closed")}));
    EXPECT_FALSE(Client().AutoScheduleRunning());
}

TEST_F(DMClient, AProgressEventWithoutABeginOpensTheWatchingWindow)
{
    QStringList record;
    Client().SetServerProgressFactory(std::make_unique<FakeProgressFactory>(record));
    Client().OnAutoScheduleProgress(1, 5);
    QTimer::singleShot(300, [&] { Client().OnAutoScheduleEnd(); });
    ASSERT_TRUE(WaitFor([&] { return record.contains(QStringLiteral("closed")); }, 5s));
    EXPECT_EQ(record.first(), QStringLiteral("watching"));
}

TEST_F(DMClient, ARunThatBeginsDuringASynchronousCallOpensItsWindowOnceTheCallIsBack)
{
    QStringList record;
    Client().SetServerProgressFactory(std::make_unique<FakeProgressFactory>(record));
    // A server that takes the call and never answers: the call waits for its time-out.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    TROHTTPChannel channel;
    channel.SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(silent.serverPort()));
    channel.SetTimeout(400ms);
    Client().OnAutoScheduleBegin();
    QTimer::singleShot(600, [&] { Client().OnAutoScheduleEnd(); });
    TROMessage message;
    message.InitializeRequest(QStringLiteral("Quorva_Data_Service"), QStringLiteral("LogOnService"), QStringLiteral("GetServerVersion"));
    EXPECT_THROW(channel.Dispatch(message), EROTransportError);
    record << QStringLiteral("call back");
    ASSERT_TRUE(WaitFor([&] { return record.contains(QStringLiteral("closed")); }, 5s));
    EXPECT_EQ(record, (QStringList{QStringLiteral("call back"), QStringLiteral("watching"), QStringLiteral("shown"), QStringLiteral("closed")}));
}

TEST_F(DMClient, WithoutAProgressWindowARunIsLoggedOnceAndNothingOpens)
{
    Client().OnAutoScheduleBegin();
    Client().OnAutoScheduleProgress(1, 5);
    WaitFor([] { return false; }, 300ms);
    Client().OnAutoScheduleProgress(2, 5);
    WaitFor([] { return false; }, 300ms);
    EXPECT_EQ(Matching(Log(), QStringLiteral("Warning    \tDMClient\ttmrAutoScheduleTimer")).size(), 1);
    Client().OnAutoScheduleEnd();
    EXPECT_FALSE(Client().AutoScheduleRunning());
}

TEST_F(DMClient, APlugInsRunOpensTheRunningWindowWithItsPeriodAndLists)
{
    QStringList record;
    Client().SetServerProgressFactory(std::make_unique<FakeProgressFactory>(record));
    auto runner = host_cast<IAutoScheduleRunner>(&Client().HYROMgr());
    ASSERT_TRUE(runner);
    runner->RunAutoScheduleWithProgress({QStringLiteral("T1"), QStringLiteral("T2")}, {QStringLiteral("F1")},
                                        QDateTime(QDate(2026, 11, 1), QTime()), QDateTime(QDate(2026, 12, 1), QTime()));
    EXPECT_EQ(record, (QStringList{QStringLiteral("running T1,T2 F1 2026-11-01 2026-12-01"), QStringLiteral("shown"),
                                   QStringLiteral("closed")}));
}

TEST_F(DMClient, APopupIsShownForAnyUserAndItsClickOpensTheTargetOfItsType)
{
    RecordingMainWindow window;
    Client().SetMainWindow(&window);
    auto notifier = std::make_unique<FakeNotifier>();
    FakeNotifier *shown = notifier.get();
    Client().SetPopupNotifier(std::move(notifier));
    Client().OnNewPopup(QStringLiteral("someone else"), QStringLiteral("New event"), QStringLiteral("Easter vigil"), 2);
    EXPECT_EQ(shown->notice.Title, QStringLiteral("New event"));
    EXPECT_EQ(shown->notice.Text, QStringLiteral("Easter vigil"));
    EXPECT_EQ(shown->notice.TimeOut, 25);
    EXPECT_EQ(shown->notice.Tag, QStringLiteral("2"));
    EXPECT_EQ(shown->notice.GradientColor1, QColor(0xDD, 0xEC, 0xFE));
    EXPECT_EQ(shown->notice.GradientColor2, QColor(0x81, 0xA9, 0xE2));
    ASSERT_TRUE(shown->click);
    shown->click(shown->notice.Tag);
    EXPECT_EQ(window.targets, QList<int>{2});
    Client().SetMainWindow(nullptr);
}

// --- modal plug-ins -------------------------------------------------------------------------

TEST_F(DMClient, TheInitialSetupWizardIsPreparedAndItsResultsReadWhenItCloses)
{
    folder.AddModule(QStringLiteral("TestService"));
    Ready();
    TxBaseForm form(&Client().HYROMgr());
    form.EnablePluginHost();
    form.SetPluginName(QStringLiteral("plgInitialSetup"));
    EXPECT_EQ(form.AlphaBlendValue(), 0);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("xBaseForm"));
    form.ShowModal();
    EXPECT_FALSE(form.AlphaBlend()); // the wizard made its window visible
    const TxBaseForm::TInitialSetupResults &results = form.InitialSetupResults();
    EXPECT_EQ(form.GetPluginResult(), 1);
    EXPECT_EQ(results.UserName, QStringLiteral("Pastor"));
    EXPECT_EQ(results.UserID, QStringLiteral("{5E700000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(results.UserLevel, 0x7FFFFFFF);
    EXPECT_EQ(results.Password, QStringLiteral("Secret1"));
    EXPECT_EQ(results.WindowsAccount, TvoSysInfo::GetUserName());
    EXPECT_EQ(form.PluginInstance(), nullptr);
    EXPECT_EQ(Client().HYROMgr().LivePluginCount(), 0);
}

TEST_F(DMClient, AModalPlugInRunsInAHostWindowOfTheMainWindow)
{
    folder.AddModule(QStringLiteral("TestService"));
    Ready();
    TfMain window;
    Client().SetMainWindow(&window);
    const auto results = Client().RunModalPlugin(QStringLiteral("plgInitialSetup"), true);
    Client().SetMainWindow(nullptr);
    ASSERT_TRUE(results.has_value());
    EXPECT_EQ(results->ResultCode, 1);
    EXPECT_EQ(results->UserName, QStringLiteral("Pastor"));
    EXPECT_EQ(Client().HYROMgr().LivePluginCount(), 0);
}

TEST_F(DMClient, SettingsTransportDoesNothingWithoutItsPlugIn)
{
    folder.AddModule(QStringLiteral("TestService"));
    Ready();
    const int lines = int(Log().size());
    Client().ExportSettings();
    Client().ImportSettings();
    EXPECT_EQ(Log().size(), lines);
    EXPECT_FALSE(Client().RunModalPlugin(QStringLiteral("plgTransport"), false).has_value());
}

// --- host interfaces ------------------------------------------------------------------------

TEST_F(DMClient, ATestPlugInReachesEveryHostInterfaceThroughQueryInterface)
{
    folder.AddModule(QStringLiteral("TestService"));
    Ready();
    TfMain window;
    Client().SetMainWindow(&window);
    Client().ROHTTP()->SetTargetURL(QStringLiteral("http://127.0.0.1:1/BIN")); // no server: reads fall back
    IHYPlugin *probe = Client().HYROMgr().CreatePlugin(QStringLiteral("plgHostProbe"));
    ASSERT_NE(probe, nullptr);
    QStringList answers;
    {
        auto probing = host_cast<ITestProbe>(probe);
        ASSERT_TRUE(probing);
        answers = probing->ProbeHost();
    }
    Client().HYROMgr().ReleasePlugin(probe);
    Client().SetMainWindow(nullptr);
    const QString folderText = folder.Path() + QLatin1Char('/');
    EXPECT_EQ(answers, (QStringList{
                           QStringLiteral("IHostApplication reached ") + folderText,
                           QStringLiteral("IHostLog reached "),
                           QStringLiteral("ISettings reached default"),
                           QStringLiteral("IEmailHost reached 0 0"),
                           QStringLiteral("ITransportHost reached 0"),
                           QStringLiteral("IAutoScheduleRunner reached "),
                           QStringLiteral("ISmartHelp reached "),
                           QStringLiteral("ISearchHost reached 0 none"),
                           QStringLiteral("IReportHost reached "),
                           QStringLiteral("IUserHost reached ") + EmptyGUID,
                           QStringLiteral("IAboutHost reached "),
                           QStringLiteral("ILanguageHost reached Kestrova"),
                           QStringLiteral("IAutoScheduleEvent_Writer reached "),
                           QStringLiteral("IClientPopupEvent_Writer reached "),
                           QStringLiteral("IStyleForm reached "),
                           QStringLiteral("IROHostConnection reached channel message"),
                       }));
    EXPECT_EQ(window.SmartHelpText(), QStringLiteral("probe help"));
    const QStringList lines = Log();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Information\tTestService\tProbeHost written")), -1);
    // The search dialog comes with its own piece of work: until then one warning for the call.
    EXPECT_EQ(Matching(lines, QStringLiteral("Warning    \tDMClient\tPerformSearch")).size(), 1);
}

TEST_F(DMClient, TheHostsOwnReferencesBalance)
{
    const int before = Client().addRef() - 1;
    Client().release();
    {
        auto hostLog = host_cast<IHostLog>(&Client().HYROMgr());
        auto settings = host_cast<ISettings>(&Client().HYROMgr());
        ASSERT_TRUE(hostLog && settings);
        EXPECT_EQ(Client().addRef(), before + 3);
        Client().release();
    }
    EXPECT_EQ(Client().addRef(), before + 1);
    Client().release();
    EXPECT_FALSE(host_cast<INavBarPlugin>(&Client().HYROMgr()));
}

TEST_F(DMClient, LanguageTextsAreLeftAsPassedOnceTheHandlerIsGone)
{
    Client().ReadConfiguration();
    QString text = QStringLiteral("before");
    Client().GetResourceText(10, false, text);
    EXPECT_EQ(text, QStringLiteral("Kestrova"));
    Client().GetResourceText(99999, true, text);
    EXPECT_EQ(text, QString());
    Client().CloseDatamodule();
    text = QStringLiteral("kept");
    Client().GetResourceText(10, false, text);
    EXPECT_EQ(text, QStringLiteral("kept"));
    EXPECT_FALSE(Matching(Log(), QStringLiteral("Information\tMain\tCloseDatamodule Complete")).isEmpty());
}

TEST_F(DMClient, GettingStartedOpensTheStagedGuideAndAFolderWithoutItOpensNothing)
{
    QStringList opened;
    const auto record = [&opened](const QString &url) {
        opened << url;
        return true;
    };
    TDMClient staged(QStringLiteral(KESTROVA_STAGE_DIR "/Quorva"));
    staged.SetURLOpener(record);
    staged.OpenGettingStartedGuide();
    ASSERT_EQ(opened.size(), 1);
    const QString file = QUrl(opened[0]).toLocalFile();
    EXPECT_EQ(QFileInfo(file).fileName(), QStringLiteral("Kestrova Getting Started Guide.pdf"));
    EXPECT_EQ(QFileInfo(file).canonicalFilePath(), QFileInfo(QStringLiteral(KESTROVA_GUIDE_PDF)).canonicalFilePath());
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF-"));

    // The test's program folder has no docs folder: nothing opens, and the log says why.
    Client().SetURLOpener(record);
    Client().OpenGettingStartedGuide();
    EXPECT_EQ(opened.size(), 1);
    EXPECT_FALSE(Matching(Log(), QStringLiteral("OpenGettingStartedGuide There is no guide at")).isEmpty()) << Log().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DMClient, AGuideOrFaqThatNoProgramOpensTellsTheUserWhereItIs)
{
    TScriptedPrompt prompt;
    TDMClient staged(QStringLiteral(KESTROVA_STAGE_DIR "/Quorva"));
    staged.ReadConfiguration();
    staged.SetURLOpener([](const QString &) { return false; });
    staged.OpenGettingStartedGuide();
    staged.OpenInstallFAQ();
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("Kestrova Getting Started Guide.pdf"))) << prompt.Prompts()[0].Text.toStdString();
    EXPECT_TRUE(prompt.Prompts()[1].Text.contains(QStringLiteral("InstallFAQ"))) << prompt.Prompts()[1].Text.toStdString();
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
}

TEST_F(DMClient, AChangedWindowsLogOnChoiceIsKeptAtOnceAndARunThatEndsLeavesItAsItWas)
{
    const auto stored = [] {
        QString value;
        TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("<none>"), QStringLiteral("Use Windows logon"));
        return value;
    };
    Client().SetUseWindowsLogon(true);
    EXPECT_EQ(stored(), QStringLiteral("Yes")) << "at once, before the run ends";
    Client().SetUseWindowsLogon(false);
    EXPECT_EQ(stored(), QStringLiteral("No"));
    Client().SetUseWindowsLogon(true);
    // A run that ends before any log-on (a refused start, an update hand-over) changes nothing.
    client.reset();
    EXPECT_EQ(stored(), QStringLiteral("Yes"));
    Client().SetSessionWindowsLogon(false);
    EXPECT_FALSE(Client().GetUseWindowsLogon());
    client.reset();
    EXPECT_EQ(stored(), QStringLiteral("Yes")) << "the session's flag alone is never written";
}

TEST_F(DMClient, ThePreferredServerIsKeptWhenItShouldAlwaysBeUsed)
{
    Client().ROHTTP()->SetTargetURL(QStringLiteral("http://parish:8099/BIN"));
    EXPECT_FALSE(Client().GetAlwaysUsePreferredServer());
    Client().SetAlwaysUsePreferredServer(true);
    EXPECT_TRUE(Client().GetAlwaysUsePreferredServer());
    QString preferred;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, preferred, QString(), QStringLiteral("Preferred server"));
    EXPECT_EQ(preferred, QStringLiteral("http://parish:8099/BIN"));
    Client().SetAlwaysUsePreferredServer(false);
    EXPECT_FALSE(Client().GetAlwaysUsePreferredServer());
}

TEST_F(DMClient, AnEmptyMailListSendsNothingAndReportsNothing)
{
    const int lines = int(Log().size());
    const QStringList none;
    Client().SendSimpleEmail(nullptr);
    Client().SendSimpleEmail(&none);
    EXPECT_EQ(Log().size(), lines);
}

TEST_F(DMClient, APlugInsProgressWindowShowsItsCaptionLineOnlyInStyleOne)
{
    auto application = host_cast<IHostApplication>(&Client().HYROMgr());
    ASSERT_TRUE(application);
    application->ShowProgress(1);
    const TfProgress *window = Client().ProgressWindow();
    ASSERT_NE(window, nullptr);
    application->SetProgress(140, QStringLiteral("Importing"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->CaptionShown());
    EXPECT_EQ(window->Caption(), QStringLiteral("Importing"));
    EXPECT_EQ(window->Position(), 100);
    EXPECT_EQ(window->size(), QSize(TfProgress::Width, TfProgress::HeightWithCaption));
    EXPECT_FALSE(window->AlphaBlend()); // opaque, unlike the host windows it is made from
    application->HideProgress();
    EXPECT_EQ(Client().ProgressWindow(), nullptr);
    application->ShowProgress(7);
    EXPECT_FALSE(Client().ProgressWindow()->CaptionShown());
    EXPECT_EQ(Client().ProgressWindow()->height(), TfProgress::HeightBarOnly);
    application->HideProgress();
    application->SetProgress(50, QStringLiteral("after the window went")); // nothing to update, nothing fails
}
