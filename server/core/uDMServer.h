// The data server's central data module: reads "Settings.ini", opens and patches the database,
// switches on discovery and the HTTP server, and holds what the services share (connection
// manager, event repository, language texts, report folder, the scheduler's two flags).
// One instance per process, reached by the services through DMServer.
#pragma once

#include "foundation/uCommon.h"
#include "foundation/uResourceHandler.h"
#include "pgdriver/uDAADODriver.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class IDAConnection;
class QNetworkAccessManager;
class QTimer;
class TDAConnectionManager;
class TRODiscoveryServer;
class TROHTTPServer;
class TROInMemoryEventRepository;
class TROInMemorySessionManager;
class UpdateFiles;

class TDMServer : public QObject
{
    Q_OBJECT
public:
    // programFolder: where the settings file, language module, reports and backups are; the
    // program's own folder unless a test names another.
    explicit TDMServer(const QString &programFolder = QString(), QObject *owner = nullptr);
    ~TDMServer() override;

    // Raises std::runtime_error with the settings file, language module or report folder that is missing.
    void LoadConfiguration();
    // True when start-up failed (already logged).
    bool InitializeServer();
    // The shut-down's first step: the database work of the requests in service is cancelled,
    // every later statement fails, and the HTTP server stops, waiting at most that long for
    // its requests. False (logged) when some still ran: they run on with this module, which must
    // then outlive them; the process is to end without freeing it.
    bool StopServing(std::chrono::milliseconds wait);

    QString GetText(int number) const;
    void AutoBackup();
    void CreateBackup();
    void tmrWebCheckTimer();
    void StartConfigurator();
    bool CheckClientUpdate(const QString &appId, const QString &clientVersion, QString &newVersion) const;
    // No list when the version names no direct sub-folder of "Updates".
    std::unique_ptr<UpdateFiles> GetUpdateFiles(const QString &version) const;
    QString GetServerVersionText() const { return ServerVersion; }
    QString GetLocalIPAddress() const;
    static QString FormatSQLDate(const QDate &date);
    static QString QuoteSQLText(const QString &text);
    // "Server", "Database" and "UserID" items become the provider's "Data Source", "Initial
    // Catalog" and "User ID"; every other item keeps its place and text.
    static QString NormalizeConnectionString(const QString &connectionString);
    // The connection string with the value of its password item hidden, for log lines.
    static QString MaskPassword(const QString &connectionString);

    QString ProgramFolder() const { return m_programFolder; }
    QString ReportPath() const { return m_reportPath; }
    QString DataType() const { return m_dataType; }
    TvoLocalConfigFile *ConfigFile() const { return m_configFile.get(); }
    TDAConnectionManager &ConnectionManager() const { return *m_connectionManager; }
    TROInMemoryEventRepository &EventRepository() const { return *m_eventRepository; }
    TROInMemorySessionManager &SessionManager() const { return *m_sessionManager; }
    // The settings as start-up reads them, each with its default when the key is missing. A
    // port that is written but no whole number from 1 to 65535 throws, naming key and value.
    int ConfiguredHttpPort() const;
    int ConfiguredDiscoveryPort() const;
    bool ConfiguredDiscovery() const;
    int HttpPort() const;
    int DiscoveryPort() const;
    bool WebCheckActive() const;

    // The patch ladder run inside the start-up transaction; tests may put another in its place.
    using PatchLadder = std::function<bool(IDAConnection &connection)>;
    void SetPatchLadder(PatchLadder ladder) { m_patchLadder = std::move(ladder); }

    QString ServerVersion;
    // Shared by request threads without a lock of their own: each access is one atomic read or write.
    std::atomic<bool> FAutoScheduleRunning{false};
    std::atomic<bool> FStopAutoSchedule{false};

private:
    void CheckUpdateServer();
    QString SettingsPath() const;
    int ConfiguredPort(const QString &section, int defaultPort) const;

    TDAADODriver m_driver;
    QString m_programFolder;
    std::unique_ptr<TvoLocalConfigFile> m_configFile;
    std::unique_ptr<TVOResourceHandler> m_languageTexts;
    QString m_dataType;
    QString m_reportPath;
    std::unique_ptr<IDAConnection> m_connection;
    std::unique_ptr<TDAConnectionManager> m_connectionManager;
    std::unique_ptr<TROInMemorySessionManager> m_sessionManager;
    std::unique_ptr<TROInMemoryEventRepository> m_eventRepository;
    std::unique_ptr<TROHTTPServer> m_httpServer;
    TRODiscoveryServer *m_discovery = nullptr;
    QTimer *m_webCheck = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    PatchLadder m_patchLadder;
    bool m_usageReportSkippedLogged = false;
};

// The process's data module; set while it exists.
extern TDMServer *DMServer;
