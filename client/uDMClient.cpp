#include "client/uDMClient.h"

#include "client/THYModuleManager.h"
#include "client/uReportChooser.h"
#include "client/uDAQuorva.h"
#include "client/uDMData.h"
#include "client/uPluginManager.h"
#include "client/ufProgress.h"
#include "client/ufWhatsNew.h"
#include "client/uxBaseForm.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/FileResolver.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "foundation/uResourceHandler.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROEventReceiver.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "updating/uSystemPathsAndFolders.h"
#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>

using namespace Quorva;

namespace {

const QString kMain = QStringLiteral("Main");
const QString kDiscoveryService = QStringLiteral("Kestrova");
const QString kEventsService = QStringLiteral("EventsService");
const QString kUseWindowsLogon = QStringLiteral("Use Windows logon");
const QString kAlwaysPreferred = QStringLiteral("Always use preferred server");
const QString kPreferredServer = QStringLiteral("Preferred server");
const QString kSplashPlugin = QStringLiteral("plgSplash");
constexpr int kTextChoiceNotKept = 5023;
constexpr int kTextCaption = 10;
constexpr int kTextUpdateForAdministrator = 14;
constexpr int kHostFormWidth = 800;
constexpr int kHostFormHeight = 570;
constexpr int kFadeStep = 10;
constexpr int kFadeStepMs = 10;
const QColor kPopupColor1(0xDD, 0xEC, 0xFE);
const QColor kPopupColor2(0x81, 0xA9, 0xE2);
constexpr int kPopupTimeOut = 25;

void processMessages()
{
    QCoreApplication::processEvents();
}

// A borderless modal host window for one plug-in, as the start-up and the host's commands use.
std::unique_ptr<TxBaseForm> hostForm(THYModuleManager *manager, QWidget *owner)
{
    auto form = std::make_unique<TxBaseForm>(manager, owner);
    form->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    form->resize(kHostFormWidth, kHostFormHeight);
    return form;
}

void centre(QWidget &window, const QWidget *owner)
{
    const QRect area = owner ? owner->frameGeometry()
                             : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                 : QRect());
    if (area.isValid())
        window.move(area.center() - window.rect().center());
}

} // namespace

// The data module as the event receiver's target: the contract's receiving interfaces share
// their GUIDs with the host interfaces, so they are answered by a separate object.
class TDMClient::TEventSink : public IROInterface, public IAutoScheduleEvent, public IClientPopupEvent
{
public:
    explicit TEventSink(TDMClient &client) : m_client(client) {}

    bool queryInterface(const QUuid &id, void **object) override
    {
        if (id == IAutoScheduleEvent::IID)
            *object = static_cast<IAutoScheduleEvent *>(this);
        else if (id == IClientPopupEvent::IID)
            *object = static_cast<IClientPopupEvent *>(this);
        else
            *object = nullptr;
        return *object != nullptr;
    }
    void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) override { m_client.OnAutoScheduleProgress(APosition, AMax); }
    void OnAutoScheduleBegin() override { m_client.OnAutoScheduleBegin(); }
    void OnAutoScheduleEnd() override { m_client.OnAutoScheduleEnd(); }
    void OnNewPopup(const QString &ToUser, const QString &Title, const QString &Text, qint32 EventType) override
    {
        m_client.OnNewPopup(ToUser, Title, Text, EventType);
    }

private:
    TDMClient &m_client;
};

TDMClient::TDMClient(const QString &programPath, QObject *parent)
    : QObject(parent)
    , m_config(programPath)
    , m_ROBinMgs(std::make_shared<TROMessage>())
    , m_ROHTTP(std::make_shared<TROHTTPChannel>())
    , m_ROHTTPEvents(std::make_shared<TROHTTPChannel>())
    , m_ROProbeHTP(std::make_shared<TROHTTPChannel>())
    , m_RODiscoveryClient(new TRODiscoveryClient(this))
    , m_ROEventReceiver(new TROEventReceiver(this))
    , m_eventSink(std::make_unique<TEventSink>(*this))
    , m_HYROMgr(std::make_unique<THYModuleManager>(static_cast<IHostApplication *>(this)))
    , m_tmrAutoSchedule(new QTimer(this))
{
    m_ROBinMgs->SetClientID(ROClientSessionID());
    m_ROHTTP->SetTargetURL(DefaultServerURL);
    m_ROHTTPEvents->SetTargetURL(DefaultServerURL);
    // A call of the main channel goes again only when the server cannot have seen it, a few
    // times per call, so nothing that changes data arrives twice. Polls only read: they are
    // tried again a few times, then the lost connection is logged once. A probe never retries.
    m_ROHTTP->SetFailureHandler([](const TROCallFailure &failure) {
        return !failure.MayHaveReachedServer && failure.Attempt < MainChannelRetries;
    });
    m_ROHTTPEvents->SetFailureHandler([this](const TROCallFailure &failure) {
        if (failure.Attempt < EventsChannelRetries)
            return true;
        if (!m_eventsConnectionLost)
            AddToLog(llSevere, kDMClient, QStringLiteral("ROHTTPEventsFailure"),
                     QStringLiteral("Lost the connection to the server: ") + failure.Error);
        m_eventsConnectionLost = true;
        return false;
    });
    m_ROProbeHTP->SetFailureHandler([](const TROCallFailure &) { return false; });
    // Every call of the host and its plug-ins goes through the main channel: a server that lost
    // the session (its restart) gets the user logged on again there, and the call once more.
    m_ROHTTP->SetSessionLostHandler([this](const QString &error) { return SessionLost(error); });
    // Polls go on while nobody works: the first poll the server refuses asks once, and a
    // declined log-on is not asked again by every later poll, only by the user's next call.
    m_ROHTTPEvents->SetSessionLostHandler([this](const QString &error) {
        if (m_pollLogOnDeclined)
            return false;
        m_pollLogOnDeclined = !SessionLost(error);
        return !m_pollLogOnDeclined;
    });
    m_ROProbeHTP->SetTimeout(ProbeTimeout);
    connect(m_ROEventReceiver, &TROEventReceiver::Polled, this, [this](const QString &error) {
        if (error.isEmpty())
            m_eventsConnectionLost = false;
    });

    m_ROEventReceiver->SetChannel(m_ROHTTPEvents);
    m_ROEventReceiver->SetServiceName(kEventsService);
    m_ROEventReceiver->SetInterval(std::chrono::milliseconds(EventPollIntervalMs));

    m_HYROMgr->SetChannel(m_ROHTTP);
    m_HYROMgr->SetMessage(m_ROBinMgs);
    m_HYROMgr->AddBeforeLoadHandler([this](const QString &fileName) { HYROMgrBeforeLoadModule(fileName); });
    m_HYROMgr->AddErrorHandler([this](const QString &message) { HYROMgrLoadModuleError(message); });

    m_tmrAutoSchedule->setInterval(AutoScheduleDelayMs);
    m_tmrAutoSchedule->setSingleShot(true);
    connect(m_tmrAutoSchedule, &QTimer::timeout, this, &TDMClient::tmrAutoScheduleTimer);

    m_user = std::make_unique<TvoUser>();
    m_pluginManager = std::make_unique<TQorPluginManager>(*m_HYROMgr);
    m_data = std::make_unique<TDMData>(m_ROBinMgs, m_ROHTTP);
    m_language = std::make_unique<TVOResourceHandler>();
}

TDMClient::~TDMClient()
{
    // A plug-in may hold the main channel longer than this module lives.
    m_ROHTTP->SetSessionLostHandler({});
    m_ROHTTPEvents->SetSessionLostHandler({});
    TconHTMLHelp::Remove();
    if (m_ROEventReceiver->Active())
        DisConnectEventHandler();
    // The plug-ins go before the data module they ask things of.
    m_splash = nullptr;
    m_pluginManager.reset();
    m_HYROMgr->UnloadModules();
    m_splashForm.reset();
    m_progress.reset();
    m_data.reset();
}

void TDMClient::SetUseWindowsLogon(bool value)
{
    m_useWindowsLogon = value;
    // Written when the user changes it, never at the end of a run: a run that ends before the
    // log-on, or one that hands over to the updater, leaves the stored choice as it was.
    try {
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, value ? QStringLiteral("Yes") : QStringLiteral("No"), kUseWindowsLogon);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("SetUseWindowsLogon"), ExceptionText(e));
    }
}

QString TDMClient::GetText(int number, bool emptyIfMissing) const
{
    return m_language ? m_language->GetString(number, emptyIfMissing) : QString::number(number);
}

QString TDMClient::GetVersionText() const
{
    QString text = GetText(300) + m_ownVersion;
    const QString servicePack = m_config.ServicePack();
    if (servicePack.compare(QLatin1String("0"), Qt::CaseInsensitive) != 0 && !servicePack.isEmpty())
        text += QStringLiteral(" SP ") + servicePack;
    return text;
}

QString TDMClient::GetServerStatusText() const
{
    return QString(8, QLatin1Char(' ')) + m_currentServerURL + GetText(301);
}

void TDMClient::ShowWhatsNew()
{
    try {
        const QString page = m_config.ProgramFolder() + m_ownVersion + QStringLiteral(".html");
        if (!m_config.ShowWhatsNew() || !QFileInfo::exists(page))
            return;
        TfWhatsNew window(m_mainWindow ? m_mainWindow->Widget() : nullptr);
        window.LoadFromFile(page);
        window.exec();
        if (window.DontShowAgain() && !m_config.SetShowWhatsNew(false)) {
            const QString file = m_config.UserSettingsFile();
            AddToLog(llWarning, kDMClient, QStringLiteral("ShowWhatsNew"), QStringLiteral("The choice could not be written to %1").arg(file));
            ShowMessage(m_mainWindow ? m_mainWindow->Widget() : nullptr, QMessageBox::Warning, GetText(100),
                        GetText(kTextChoiceNotKept).arg(QDir::toNativeSeparators(file)));
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ShowWhatsNew"), ExceptionText(e));
    }
}

void TDMClient::Missing(const QString &operation) const
{
    AddToLog(llWarning, kDMClient, operation, QStringLiteral("not available in this build"));
}

QUuid TDMClient::SessionID() const
{
    return m_ROHTTP->SessionID();
}

void TDMClient::SetSessionID(const QUuid &id)
{
    m_ROBinMgs->SetClientID(id);
    for (const std::shared_ptr<TROHTTPChannel> &channel : {m_ROHTTP, m_ROHTTPEvents, m_ROProbeHTP})
        channel->SetSessionID(id);
}

std::shared_ptr<TROHTTPChannel> TDMClient::CreateAutoScheduleChannel()
{
    // No failure handler: a run sent twice would be a second run. A run the server refused for
    // a lost session never started, so it goes once more after the log-on. The last owner of
    // the channel may be the completion of its own reply, which must not take the channel with
    // it there.
    std::shared_ptr<TROHTTPChannel> channel(new TROHTTPChannel, [](TROHTTPChannel *c) { c->deleteLater(); });
    channel->SetTargetURL(m_ROHTTP->TargetURL());
    channel->SetSessionID(m_ROHTTP->SessionID());
    channel->SetSessionLostHandler([self = QPointer<TDMClient>(this)](const QString &error) {
        return self && self->SessionLost(error);
    });
    return channel;
}

void TDMClient::SetServerConnector(std::unique_ptr<IServerConnector> component) { m_serverConnector = std::move(component); }
void TDMClient::SetLogOnSteps(std::unique_ptr<ILogOnSteps> component) { m_logOnSteps = std::move(component); }
void TDMClient::SetSearchDialog(std::unique_ptr<ISearchDialog> component) { m_searchDialog = std::move(component); }
void TDMClient::SetReportChooser(std::unique_ptr<IReportChooser> component) { m_reportChooser = std::move(component); }
void TDMClient::SetMailComposer(std::unique_ptr<IMailComposer> component) { m_mailComposer = std::move(component); }
void TDMClient::SetPopupNotifier(std::unique_ptr<IPopupNotifier> component) { m_popupNotifier = std::move(component); }
void TDMClient::SetServerProgressFactory(std::unique_ptr<IServerProgressFactory> component)
{
    m_progressFactory = std::move(component);
}

// --- start-up ---------------------------------------------------------------------------------

void TDMClient::ReadConfiguration()
{
    m_mailAvailable = false;
    m_ownVersion = TvoSysInfo::GetFileVersion(m_config.ProgramPath());
    if (m_ownVersion.isEmpty())
        m_ownVersion = TvoSysInfo::BuildVersion();
    m_user->SetUserID(EmptyGUID);
    const QString folder = m_config.ProgramFolder();
    AddToLog(llInformation, kMain, QStringLiteral("Application path:"), folder);

    m_applicationId = m_config.ApplicationID();
    m_data->SetApplicationID(m_applicationId);

    m_helpFile = m_config.HelpFile();
    if (QFileInfo::exists(m_helpFile))
        AddToLog(llInformation, kMain, QStringLiteral("Helpfile."), m_helpFile);
    else
        AddToLog(llSevere, kMain, QStringLiteral("Unable to locate Helpfile."), m_helpFile);
    TconHTMLHelp::Install(m_helpFile);

    m_useDiscovery = m_config.UseDiscovery();

    const QString languagePack = m_config.LanguagePack();
    if (!QFileInfo::exists(languagePack))
        AddToLog(llSevere, kMain, QStringLiteral("Unable to locate languagepack."), languagePack);

    m_reportFolder = FileResolver::resolve(folder, QStringLiteral("Reports"));
    if (!QFileInfo(m_reportFolder).isDir()) {
        AddToLog(llWarning, kMain, QStringLiteral("Missing report folder: "), m_config.ReportFolder());
        m_reportFolder = folder;
    } else if (!m_reportFolder.endsWith(QLatin1Char('/'))) {
        m_reportFolder += QLatin1Char('/');
    }

    m_language->LoadResourceFile(languagePack);

    m_pluginsFolder = m_config.PluginsPath();

    try {
        m_mailConfiguration = m_config.MailConfiguration();
        m_mailAvailable = !m_mailConfiguration.value(QStringLiteral("smtpserver")).toString().trimmed().isEmpty();
    } catch (const std::exception &e) {
        AddToLog(llWarning, kMain, QStringLiteral("Unable to Initialize CDO:"), ExceptionText(e));
    }

    if (!QFileInfo(m_pluginsFolder).isDir()) {
        AddToLog(llSevere, kMain, QStringLiteral("Missing PlugIns folder:"), m_pluginsFolder);
        throw std::runtime_error("Missing plugins folder!");
    }
}

void TDMClient::CreateDataAccessModule()
{
    m_daQuorva = std::make_unique<TDAQuorva>(m_ROBinMgs, m_ROHTTP);
}

int TDMClient::LoadHydraModules()
{
    try {
        return m_HYROMgr->LoadModules(m_pluginsFolder, QStringLiteral("*.qor"));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kMain, QStringLiteral("LoadHydraModules"), ExceptionText(e));
        return 0;
    }
}

void TDMClient::HYROMgrBeforeLoadModule(const QString &fileName)
{
    const QString version = TvoSysInfo::GetFileVersion(fileName);
    m_loadedModules += fileName + QLatin1Char('\t') + version + QLatin1Char('\r');
    AddToLog(llInformation, kMain, QStringLiteral("Loading: "),
             QStringLiteral("\t%1\tver. %2").arg(fileName, version));
}

void TDMClient::HYROMgrLoadModuleError(const QString &message)
{
    AddToLog(llSevere, kMain, QStringLiteral("HYROMgrLoadModuleError"), message);
}

void TDMClient::UnLoadHydraModules()
{
    try {
        if (m_splash)
            m_HYROMgr->ReleasePlugin(m_splash);
        m_pluginManager.reset();
        m_HYROMgr->UnloadModules();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kMain, QStringLiteral("UnLoadHydraModules"), ExceptionText(e));
    }
}

TBasePlugin *TDMClient::FindPlugin(const QString &name) const
{
    return m_pluginManager ? m_pluginManager->FindPluginByName(name) : nullptr;
}

void TDMClient::LoadSplash()
{
    try {
        if (FindPlugin(kSplashPlugin))
            m_splash = m_HYROMgr->CreateVisualPlugin(kSplashPlugin);
        m_splashForm = hostForm(m_HYROMgr.get(), nullptr);
        centre(*m_splashForm, nullptr);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("LoadSplash"), ExceptionText(e));
    }
}

void TDMClient::ShowSplash()
{
    try {
        if (!m_splash)
            return;
        if (auto splash = host_cast<ISplashController>(m_splash))
            splash->SetAnimate(m_config.AnimateSplash());
        m_splash->ShowParented(m_splashForm->PluginArea());
        m_splashForm->show();
        processMessages();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ShowSplash"), ExceptionText(e));
    }
}

void TDMClient::UpdateSplash(const QString &text)
{
    try {
        if (auto splash = host_cast<ISplashController>(m_splash))
            splash->SetProgressText(text);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("UpdateSplash"), ExceptionText(e));
    }
}

void TDMClient::UnloadSplash()
{
    try {
        if (!m_splash)
            return;
        if (m_config.AnimateSplash()) {
            m_splashForm->SetAlphaBlend(true);
            for (int alpha = 255; alpha > kFadeStep; alpha -= kFadeStep) {
                m_splashForm->SetAlphaBlendValue(alpha);
                processMessages();
                QThread::msleep(kFadeStepMs);
            }
        }
        m_splashForm->hide();
        m_HYROMgr->ReleasePlugin(m_splash);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("UnloadSplash"), ExceptionText(e));
    }
}

int TDMClient::ConnectToServer()
{
    if (!m_serverConnector) {
        Missing(QStringLiteral("ConnectToServer"));
        return 1;
    }
    return m_serverConnector->ConnectToServer();
}

QString TDMClient::InstalledVersion() const
{
    // The updater records what it installed there; a version without a new program is one too.
    return TQorVerCompare::Higher(m_ownVersion, m_config.ServicePack());
}

int TDMClient::CheckForUpdate()
{
    const QString updater = m_config.ProgramFolder() + UpdaterName;
    if (!QFileInfo::exists(updater)) {
        AddToLog(llWarning, kMain, QStringLiteral("CheckForUpdate"), QStringLiteral("Could not locate %1").arg(UpdaterName));
        return NoUpdate;
    }
    QString newVersion;
    if (!CoLogOnService::Create(m_ROBinMgs, m_ROHTTP)->UpdateClientEx(m_applicationId, InstalledVersion(), newVersion))
        return NoUpdate;
    if (!m_config.ProgramFolderWritable()) {
        // The updater could not put a file in place; this user still gets to work.
        AddToLog(llWarning, kDMClient, QStringLiteral("CheckForUpdate"),
                 QStringLiteral("The client update %1 waits on the server; %2 cannot be written by this user, so an "
                                "administrator installs it")
                     .arg(newVersion, m_config.ProgramFolder()));
        ShowMessage(m_splashForm && m_splashForm->isVisible() ? m_splashForm.get() : nullptr, QMessageBox::Information,
                    GetText(kTextCaption), GetText(kTextUpdateForAdministrator).arg(newVersion));
        return NoUpdate;
    }
    AddToLog(llInformation, kDMClient, QStringLiteral("CheckForUpdate"), QStringLiteral("A new update is available"));
    return UpdateWaiting;
}

bool TDMClient::StartUpdater()
{
    const QString updater = m_config.ProgramFolder() + UpdaterName;
    // The updater starts the client again with the arguments it was started with.
    const QStringList arguments =
        QStringList{m_ROHTTP->TargetURL(), m_applicationId, m_config.ProgramPath()} + QCoreApplication::arguments().mid(1);
    if (RunProgram(updater, arguments))
        return true;
    AddToLog(llSevere, kMain, QStringLiteral("StartUpdater"), QStringLiteral("Unable to start %1").arg(updater));
    return false;
}

int TDMClient::CheckInitialSetup()
{
    if (!m_logOnSteps) {
        Missing(QStringLiteral("CheckInitialSetup"));
        return 4;
    }
    return m_logOnSteps->CheckInitialSetup();
}

bool TDMClient::RunInitialSetup()
{
    if (!m_logOnSteps) {
        Missing(QStringLiteral("RunInitialSetup"));
        return false;
    }
    return m_logOnSteps->RunInitialSetup();
}

int TDMClient::ProcessLogon()
{
    if (!m_logOnSteps) {
        Missing(QStringLiteral("ProcessLogon"));
        return 4;
    }
    return m_logOnSteps->ProcessLogon();
}

void TDMClient::SetLoggedOnUser(const QString &userId, const QString &userName, int userLevel)
{
    // The same user again (the server had lost the session): the settings read, with the
    // session's changes to them, stay.
    const bool sameUser = m_user->UserID == userId;
    m_user->SetUserID(userId);
    m_user->SetUserName(userName);
    m_user->SetUserLevel(userLevel);
    if (!sameUser)
        m_data->OpenForUser(userId);
}

bool TDMClient::SessionLost(const QString &error)
{
    // Before the log-on there is nobody to log on again; a call made while the log-on again
    // asks is refused as it was.
    if (m_loggingOnAgain || !m_logOnSteps || !m_user || m_user->UserID.isEmpty() || m_user->UserID == EmptyGUID)
        return false;
    AddToLog(llWarning, kDMClient, QStringLiteral("SessionLost"), QStringLiteral("The server no longer knows this session: ") + error);
    m_loggingOnAgain = true;
    bool loggedOn = false;
    try {
        loggedOn = m_logOnSteps->LogOnAgain(m_user->UserName);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("SessionLost"), ExceptionText(e));
    }
    m_loggingOnAgain = false;
    if (loggedOn)
        m_pollLogOnDeclined = false;
    AddToLog(loggedOn ? llInformation : llWarning, kDMClient, QStringLiteral("SessionLost"),
             loggedOn ? QStringLiteral("Logged on again as ") + m_user->UserName : QStringLiteral("Not logged on again"));
    return loggedOn;
}

void TDMClient::ConnectEventHandler()
{
    try {
        if (m_ROEventReceiver->Active())
            return;
        m_ROEventReceiver->RegisterEventHandler(IAutoScheduleEvent::SinkName, m_eventSink.get());
        m_ROEventReceiver->RegisterEventHandler(IClientPopupEvent::SinkName, m_eventSink.get());
        m_ROEventReceiver->SetActive(true);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ConnectEventHandler"), ExceptionText(e));
    }
}

void TDMClient::DisConnectEventHandler()
{
    try {
        m_ROEventReceiver->SetActive(false);
        if (m_ROEventReceiver->HasHandlers(IAutoScheduleEvent::SinkName) &&
            m_ROEventReceiver->HasHandlers(IClientPopupEvent::SinkName)) {
            m_ROEventReceiver->UnregisterEventHandler(IAutoScheduleEvent::SinkName, m_eventSink.get());
            m_ROEventReceiver->UnregisterEventHandler(IClientPopupEvent::SinkName, m_eventSink.get());
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("DisConnectEventHandler"), ExceptionText(e));
    }
}

void TDMClient::CloseDatamodule()
{
    try {
        m_mailConfiguration.clear();
        m_mailAvailable = false;
        m_discoveredServers.clear();
        UnLoadHydraModules();
        m_data->CloseDataset();
        m_user.reset();
        m_loadedModules.clear();
        m_currentServerURL.clear();
        m_splash = nullptr;
        m_daQuorva.reset();
        m_splashForm.reset();
        m_progress.reset();
        AddToLog(llInformation, kMain, QStringLiteral("CloseDatamodule"), QStringLiteral("Complete"));
    } catch (...) {
        m_language.reset();
        throw;
    }
    m_language.reset();
}

std::optional<TxBaseForm::TInitialSetupResults> TDMClient::RunModalPlugin(const QString &pluginName, bool screenCentred)
{
    if (!FindPlugin(pluginName))
        return std::nullopt;
    QWidget *owner = m_mainWindow ? m_mainWindow->Widget() : nullptr;
    std::unique_ptr<TxBaseForm> form = hostForm(m_HYROMgr.get(), owner);
    form->EnablePluginHost();
    form->SetPluginName(pluginName);
    centre(*form, screenCentred ? nullptr : owner);
    form->ShowModal();
    return form->InitialSetupResults();
}

// --- interfaces -------------------------------------------------------------------------------

bool TDMClient::queryInterface(const QUuid &id, void **object)
{
    if (QorQueryInterface<IHostApplication, IHostLog, ISettings, IEmailHost, ITransportHost, IAutoScheduleRunner,
                          ISmartHelp, ISearchHost, IReportHost, IUserHost, IAboutHost, ILanguageHost,
                          IAutoScheduleEvent_Writer, IClientPopupEvent_Writer>(this, id, object))
        return true;
    // The look of the host's windows is the main window's.
    if (id == QorIID<IStyleForm>() && m_mainWindow && m_mainWindow->StyleForm()) {
        IStyleForm *style = m_mainWindow->StyleForm();
        style->addRef();
        *object = style;
        return true;
    }
    return false;
}

bool TDMClient::GetAlwaysUsePreferredServer()
{
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, QStringLiteral("FALSE"), kAlwaysPreferred);
    return value == QLatin1String("TRUE");
}

void TDMClient::SetAlwaysUsePreferredServer(bool value)
{
    if (value) {
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("TRUE"), kAlwaysPreferred);
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, m_ROHTTP->TargetURL(), kPreferredServer);
    } else {
        TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, QStringLiteral("FALSE"), kAlwaysPreferred);
    }
}

void TDMClient::CloseMainWindow()
{
    if (m_mainWindow)
        m_mainWindow->CloseMainWindow();
    else
        Missing(QStringLiteral("CloseMainWindow"));
}

// --- server events ----------------------------------------------------------------------------

void TDMClient::OnAutoScheduleBegin()
{
    try {
        m_autoScheduleRunning = true;
        if (!m_progressWindow)
            m_tmrAutoSchedule->start();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("OnAutoScheduleBegin"), ExceptionText(e));
    }
}

void TDMClient::OnAutoScheduleProgress(qint32 APosition, qint32 AMax)
{
    try {
        if (m_progressWindow && m_progressWindow->IsVisible())
            m_progressWindow->UpdateProgress(APosition, AMax);
        else
            OnAutoScheduleBegin();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("OnAutoScheduleProgress"), ExceptionText(e));
    }
}

void TDMClient::OnAutoScheduleEnd()
{
    m_autoScheduleRunning = false;
    m_progressMissingLogged = false;
    m_tmrAutoSchedule->stop();
    if (m_progressWindow && m_progressWindow->IsVisible())
        m_progressWindow->AllowCloseAndClose();
    m_progressWindow = nullptr;
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    processMessages();
}

void TDMClient::tmrAutoScheduleTimer()
{
    try {
        m_tmrAutoSchedule->stop();
        // A run that ended before the timer fired (begin and end in one poll) opens nothing:
        // no end event would come to close the window.
        if (!m_autoScheduleRunning || m_progressWindow)
            return;
        // Inside a synchronous call's wait the window's own loop would keep that call from
        // returning, and the receiver holds every event back until it returns: the end event
        // could never close the window. Open it once the call is back.
        if (TROHTTPChannel::SynchronousCallsInProgress() > 0) {
            m_tmrAutoSchedule->start();
            return;
        }
        if (!m_progressFactory) {
            // Once per run: every progress event of a run would ask again.
            if (!m_progressMissingLogged)
                Missing(QStringLiteral("tmrAutoScheduleTimer"));
            m_progressMissingLogged = true;
            return;
        }
        std::unique_ptr<IServerProgressWindow> window = m_progressFactory->CreateWatching();
        m_progressWindow = window.get();
        window->ShowModal();
        m_progressWindow = nullptr;
    } catch (const std::exception &e) {
        m_progressWindow = nullptr;
        AddToLog(llSevere, kDMClient, QStringLiteral("tmrAutoScheduleTimer"), ExceptionText(e));
    }
}

void TDMClient::OnNewPopup(const QString &, const QString &Title, const QString &Text, qint32 EventType)
{
    if (!m_popupNotifier) {
        Missing(QStringLiteral("OnNewPopup"));
        return;
    }
    try {
        TPopupNotice notice;
        notice.TimeOut = kPopupTimeOut;
        notice.Title = Title;
        notice.Text = Text;
        notice.Tag = QString::number(EventType);
        notice.GradientColor1 = kPopupColor1;
        notice.GradientColor2 = kPopupColor2;
        QApplication::beep();
        // The tag names an area of the main window, never an address for the desktop.
        m_popupNotifier->ShowPopup(notice, [this](const QString &tag) {
            try {
                if (m_mainWindow)
                    m_mainWindow->OpenPopupTarget(tag.toInt());
            } catch (const std::exception &e) {
                AddToLog(llSevere, kDMClient, QStringLiteral("PopupClick"), ExceptionText(e));
            }
        });
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("OnNewPopup"), ExceptionText(e));
    }
}
