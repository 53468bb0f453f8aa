// The centre of the client host: it owns the server channels, the discovery client, the plug-in
// module manager, the event receiver, the current user and the settings, and it answers every
// host interface a plug-in asks for. Everything runs on the GUI thread. Operations whose
// window is a piece of its own (server choice, log-on, search, reports, mail, popups, the
// scheduling progress window) go through the components of HostComponents.h; while one is
// missing, the operation logs one Warning line and answers as it does when it fails.
#pragma once

#include "client/ClientConfiguration.h"
#include "client/HostComponents.h"
#include "client/api/HostInterfaces.h"
#include "client/api/PluginInterfaces.h"
#include "client/uxBaseForm.h"

#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>

class QTimer;
class TBasePlugin;
class TDAQuorva;
class TDMData;
class THYModuleManager;
class TQorPluginManager;
class TRODiscoveryClient;
class TROEventReceiver;
class TROHTTPChannel;
class TROMessage;
class TVOResourceHandler;
class TfProgress;

// One server found by discovery: the list text ("http://" host ":" port) and its record
// (URL with "/BIN", version, port, resolved host name).
struct TDiscoveredServer
{
    QString Text;
    TFieldID Record;
};

class TDMClient : public QObject,
                  public Quorva::IHostApplication,
                  public Quorva::IHostLog,
                  public Quorva::ISettings,
                  public Quorva::IEmailHost,
                  public Quorva::ITransportHost,
                  public Quorva::IAutoScheduleRunner,
                  public Quorva::ISmartHelp,
                  public Quorva::ISearchHost,
                  public Quorva::IReportHost,
                  public Quorva::IUserHost,
                  public Quorva::IAboutHost,
                  public Quorva::ILanguageHost,
                  public Quorva::IAutoScheduleEvent_Writer,
                  public Quorva::IClientPopupEvent_Writer
{
    Q_OBJECT
public:
    // CheckForUpdate answers.
    static constexpr int UpdateWaiting = 3;
    static constexpr int NoUpdate = 4;
    // The program every client update is handed to, in the program folder.
    static inline const QString UpdaterName = QStringLiteral("Update");
    static inline const QString DefaultServerURL = QStringLiteral("http://localhost:8099/BIN");
    // How often one call is sent again on the main and the events channel.
    static constexpr int MainChannelRetries = 3;
    static constexpr int EventsChannelRetries = 3;
    // A probe that has no answer by then counts as a server that does not answer.
    static constexpr std::chrono::seconds ProbeTimeout{5};
    static constexpr int AutoScheduleDelayMs = 100;
    static constexpr int EventPollIntervalMs = 750;

    // Creates the user, the discovered-server list, the plug-in manager, the settings module
    // and the language handler. programPath: the program file, beside which everything lives.
    explicit TDMClient(const QString &programPath, QObject *parent = nullptr);
    // Writes the session's use-Windows-log-on choice.
    ~TDMClient() override;

    // --- components -------------------------------------------------------------------------
    std::shared_ptr<TROHTTPChannel> ROHTTP() const { return m_ROHTTP; }
    std::shared_ptr<TROHTTPChannel> ROHTTPEvents() const { return m_ROHTTPEvents; }
    std::shared_ptr<TROHTTPChannel> ROProbeHTP() const { return m_ROProbeHTP; }
    std::shared_ptr<TROMessage> ROBinMgs() const { return m_ROBinMgs; }
    TRODiscoveryClient *RODiscoveryClient() const { return m_RODiscoveryClient; }
    TROEventReceiver *ROEventReceiver() const { return m_ROEventReceiver; }
    THYModuleManager &HYROMgr() const { return *m_HYROMgr; }
    // Null once the plug-ins are unloaded.
    TQorPluginManager *PluginManager() const { return m_pluginManager.get(); }
    TDMData *DMData() const { return m_data.get(); }
    TDAQuorva *DAQuorva() const { return m_daQuorva.get(); }
    TVOResourceHandler *LanguageHandler() const { return m_language.get(); }
    QTimer *tmrAutoSchedule() const { return m_tmrAutoSchedule; }
    TxBaseForm *SplashForm() const { return m_splashForm.get(); }
    // The progress window a plug-in asked for; null while none is shown.
    TfProgress *ProgressWindow() const { return m_progress.get(); }
    const TClientConfiguration &Configuration() const { return m_config; }
    // The session every channel of this data module speaks for: the program's own unless set,
    // so that two data modules in one process stay two clients to the server.
    QUuid SessionID() const;
    void SetSessionID(const QUuid &id);
    // A channel of its own on the main channel's server and session, for a call that must leave
    // the main channel free (a scheduling run, its stop).
    std::shared_ptr<TROHTTPChannel> CreateAutoScheduleChannel();

    // --- state ------------------------------------------------------------------------------
    QString ApplicationID() const { return m_applicationId; }
    QString OwnVersion() const { return m_ownVersion; }
    // The higher of the program's own version and the one the updater recorded.
    QString InstalledVersion() const;
    QString LoadedModules() const { return m_loadedModules; }
    QString PluginsFolder() const { return m_pluginsFolder; }
    QString ReportFolder() const { return m_reportFolder; }
    QString HelpFile() const { return m_helpFile; }
    bool UseDiscovery() const { return m_useDiscovery; }
    QString CurrentServerURL() const { return m_currentServerURL; }
    void SetCurrentServerURL(const QString &url) { m_currentServerURL = url; }
    QList<TDiscoveredServer> &DiscoveredServers() { return m_discoveredServers; }
    TvoUser *User() const { return m_user.get(); }
    bool AutoScheduleRunning() const { return m_autoScheduleRunning; }
    // The language text of that number: every caption and message of the host comes from here.
    QString GetText(int number, bool emptyIfMissing = false) const;
    // The status bar's texts: text 300 and the version (with " SP " and the service pack when
    // there is one), and the server's URL followed by text 301.
    QString GetVersionText() const;
    QString GetServerStatusText() const;
    // The what's-new page of this version (<program folder><version>.html), unless the user
    // asked not to see it again.
    void ShowWhatsNew();

    // --- components made elsewhere ------------------------------------------------------------
    // The main window is the caller's; the others become the data module's.
    void SetMainWindow(IQuorvaMainWindow *window) { m_mainWindow = window; }
    IQuorvaMainWindow *MainWindow() const { return m_mainWindow; }
    void SetServerConnector(std::unique_ptr<IServerConnector> component);
    void SetLogOnSteps(std::unique_ptr<ILogOnSteps> component);
    void SetSearchDialog(std::unique_ptr<ISearchDialog> component);
    void SetReportChooser(std::unique_ptr<IReportChooser> component);
    void SetMailComposer(std::unique_ptr<IMailComposer> component);
    void SetPopupNotifier(std::unique_ptr<IPopupNotifier> component);
    void SetServerProgressFactory(std::unique_ptr<IServerProgressFactory> component);

    // --- start-up and shut-down ---------------------------------------------------------------
    // Raises "Missing plugins folder!" when the plug-ins folder does not exist, and the language
    // handler's error when the language module is missing.
    void ReadConfiguration();
    void CreateDataAccessModule();
    // How many modules loaded; 0 (logged) on an error.
    int LoadHydraModules();
    void UnLoadHydraModules();
    TBasePlugin *FindPlugin(const QString &name) const;
    void LoadSplash();
    void ShowSplash();
    void UpdateSplash(const QString &text);
    void UnloadSplash();
    int ConnectToServer();
    // Where this user cannot write the program folder, a waiting update is told and logged and
    // the start goes on without it.
    int CheckForUpdate();
    // Starts the updater with the main channel's URL, the application id, the program path and
    // the program's own arguments, with which the updater starts it again.
    bool StartUpdater();
    int CheckInitialSetup();
    bool RunInitialSetup();
    int ProcessLogon();
    // Called by the log-on once the server accepted the user: the user's settings are read.
    void SetLoggedOnUser(const QString &userId, const QString &userName, int userLevel);
    // The main channel's answer to a call the server refused for a session it does not know:
    // the user logs on again; true when the call may go once more.
    bool SessionLost(const QString &error);
    void ConnectEventHandler();
    void DisConnectEventHandler();
    void CloseDatamodule();

    // Runs a visual plug-in in a modal borderless host window (800 by 570) owned by the main
    // window and answers what an initial-setup wizard left in it; nothing when no module has it.
    std::optional<TxBaseForm::TInitialSetupResults> RunModalPlugin(const QString &pluginName, bool screenCentred);

    // --- IQorUnknown --------------------------------------------------------------------------
    bool queryInterface(const QUuid &id, void **object) override;
    int addRef() override { return ++m_references; }
    int release() override { return --m_references; }

    // --- Quorva::IHostApplication ---------------------------------------------------------------------
    bool GetUseWindowsLogon() override { return m_useWindowsLogon; }
    // A user's change of the choice: kept in the registry store at once for the next start.
    void SetUseWindowsLogon(bool value) override;
    // The session's flag alone, as read from the store at log-on: nothing is written.
    void SetSessionWindowsLogon(bool value) { m_useWindowsLogon = value; }
    bool GetAlwaysUsePreferredServer() override;
    void SetAlwaysUsePreferredServer(bool value) override;
    void CloseMainWindow() override;
    void OpenInstallFAQ() override;
    void OpenGettingStartedGuide() override;
    // What hands a page or document to the desktop's program for it (the FAQ, the guide);
    // tests put a recorder here.
    using URLOpener = std::function<bool(const QString &url)>;
    void SetURLOpener(URLOpener opener) { m_openURL = std::move(opener); }
    bool GetNavBarVisible() override;
    void SetNavBarVisible(bool value) override;
    bool GetSmartHelpVisible() override;
    void SetSmartHelpVisible(bool value) override;
    QString GetReportFolder() override { return m_reportFolder; }
    void ShowProgress(quint8 style) override;
    void SetProgress(int position, const QString &text) override;
    void HideProgress() override;

    // --- Quorva::IHostLog -----------------------------------------------------------------------------
    void WriteLog(quint8 level, const QString &sender, const QString &location, const QString &message) override;

    // --- Quorva::ISettings ----------------------------------------------------------------------------
    QString GetUserSetting(const QString &key, const QString &defaultValue) override;
    void SetUserSetting(const QString &key, const QString &value) override;
    std::optional<QByteArray> LoadUserBlob(const QString &name) override;
    void SaveUserBlob(const QString &name, const QByteArray *stream) override;
    bool ClearUserSetting(const QString &name) override;

    // --- Quorva::IEmailHost ---------------------------------------------------------------------------
    QVariant GetCDOConfiguration() override { return m_mailConfiguration; }
    void Reserved4() override {}
    int Reserved5() override { return 0; }
    void Reserved6() override {}
    QString Reserved7() override { return {}; }
    void Reserved8() override {}
    int Reserved9() override { return 0; }
    void ShowNewMessage() override;
    void Reserved11() override {}
    void SendSimpleEmail(const QStringList *recipients) override;
    bool IsMailAvailable() override { return m_mailAvailable; }

    // --- Quorva::ITransportHost -----------------------------------------------------------------------
    void ExportSettings() override;
    void ImportSettings() override;
    // Its third operation is Quorva::IEmailHost's Reserved5 above: one answer, 0, for both.

    // --- Quorva::IAutoScheduleRunner ------------------------------------------------------------------
    void RunAutoScheduleWithProgress(const QStringList &templateIds, const QStringList &ministryFunctionIds,
                                     const QDateTime &fromDate, const QDateTime &toDate) override;

    // --- Quorva::ISmartHelp ---------------------------------------------------------------------------
    void SetSmartHelpText(const QString &text, int helpId) override;

    // --- Quorva::ISearchHost --------------------------------------------------------------------------
    bool PerformSearch(int kinds, const QString &caption, int unused, bool multiSelect,
                       const TSearchObjectList *preselected, const TSearchObjectList *excluded,
                       std::unique_ptr<TSearchObjectList> &result) override;

    // --- Quorva::IReportHost --------------------------------------------------------------------------
    void ShowReportDlg(const QString &category, const QStringList *selection, int count,
                       Quorva::IReportCriteriaProvider *criteriaProvider, int selectionIndex, const QString &familiesExclusion,
                       const QString &overrideMarker, const QString &dataSource, const QString &criteria) override;
    void GetReportDefinitionsText(const QString &category, QString &text) override;
    // The preview operation: the template by name, its data from the server, then the viewer;
    // with print the printer dialog instead; with a target PDF file the PDF written there and
    // no window (the mail path's attachment). True when the report was shown, printed or written.
    bool PreviewReport(const QString &templateName, const QString &dataSource, bool showSetupDialog, const QString &targetPdf,
                       bool print, const QString &orderBy, const QString &criteria);

    // --- Quorva::IUserHost, Quorva::IAboutHost, Quorva::ILanguageHost -------------------------------------------------
    TvoUser *GetCurrentUser() override { return m_user.get(); }
    void ShowAboutDialog() override;
    void GetResourceText(int number, bool emptyIfMissing, QString &text) override;

    // --- server events ------------------------------------------------------------------------
    void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) override;
    void OnAutoScheduleBegin() override;
    void OnAutoScheduleEnd() override;
    void OnNewPopup(const QString &ToUser, const QString &Title, const QString &Text, qint32 EventType) override;

private:
    // The sender of the data module's log lines.
    static inline const QString kDMClient = QStringLiteral("DMClient");
    class TEventSink;

    // Logs that the operation has no component in this build.
    void Missing(const QString &operation) const;
    void tmrAutoScheduleTimer();
    void doTransport();
    void HYROMgrBeforeLoadModule(const QString &fileName);
    void HYROMgrLoadModuleError(const QString &message);

    TClientConfiguration m_config;
    std::shared_ptr<TROMessage> m_ROBinMgs;
    std::shared_ptr<TROHTTPChannel> m_ROHTTP;
    std::shared_ptr<TROHTTPChannel> m_ROHTTPEvents;
    std::shared_ptr<TROHTTPChannel> m_ROProbeHTP;
    TRODiscoveryClient *m_RODiscoveryClient;
    TROEventReceiver *m_ROEventReceiver;
    std::unique_ptr<TEventSink> m_eventSink;
    std::unique_ptr<THYModuleManager> m_HYROMgr;
    void OpenLocalDocument(const QString &file, const QString &context);
    URLOpener m_openURL = OpenURL;
    std::unique_ptr<TQorPluginManager> m_pluginManager;
    QTimer *m_tmrAutoSchedule;

    std::unique_ptr<TvoUser> m_user;
    std::unique_ptr<TDMData> m_data;
    std::unique_ptr<TDAQuorva> m_daQuorva;
    std::unique_ptr<TVOResourceHandler> m_language;
    QList<TDiscoveredServer> m_discoveredServers;

    QString m_applicationId = QStringLiteral("A01");
    QString m_ownVersion;
    QString m_loadedModules;
    QString m_pluginsFolder;
    QString m_reportFolder;
    QString m_helpFile;
    QString m_currentServerURL;
    bool m_useDiscovery = true;
    QVariantMap m_mailConfiguration;
    bool m_mailAvailable = false;
    bool m_useWindowsLogon = false;
    bool m_eventsConnectionLost = false;
    bool m_loggingOnAgain = false;
    // The user declined the log-on that a refused poll asked for.
    bool m_pollLogOnDeclined = false;
    int m_references = 0;

    Quorva::IHYVisualPlugin *m_splash = nullptr;
    std::unique_ptr<TxBaseForm> m_splashForm;
    std::unique_ptr<TfProgress> m_progress;

    IQuorvaMainWindow *m_mainWindow = nullptr;
    std::unique_ptr<IServerConnector> m_serverConnector;
    std::unique_ptr<ILogOnSteps> m_logOnSteps;
    std::unique_ptr<ISearchDialog> m_searchDialog;
    std::unique_ptr<IReportChooser> m_reportChooser;
    std::unique_ptr<IMailComposer> m_mailComposer;
    std::unique_ptr<IPopupNotifier> m_popupNotifier;
    std::unique_ptr<IServerProgressFactory> m_progressFactory;

    bool m_autoScheduleRunning = false;
    IServerProgressWindow *m_progressWindow = nullptr;
    bool m_progressMissingLogged = false;
};
