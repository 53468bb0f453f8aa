#include "server/core/uDMServer.h"
#include "server/core/uFailureReport.h"
#include "server/core/uLogOnGate.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDAConnectionManager.h"
#include "dataaccess/TDAConnectionStringParser.h"
#include "foundation/FileResolver.h"
#include "foundation/QorDateTime.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROServer.h"
#include "remoting/ROSessionManager.h"
#include "server/database/DatabaseBackup.h"
#include "server/database/DatabaseMaintenance.h"
#include "server/database/uDMServerDatabase.h"
#include "updating/WebServiceSettings.h"
#include "updating/uLogService.h"
#include "updating/uSystemPathsAndFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <stdexcept>

TDMServer *DMServer = nullptr;

namespace {

const QString kSender = QStringLiteral("DMServer");
constexpr int kWebCheckInterval = 900000;
constexpr int kConnectAttempts = 3;
const QString kBackupFile = QStringLiteral("mssqlbackup.BAK");

QString withSeparator(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool isTrue(const QString &text)
{
    return text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// The key of one "Key=Value" item, as written.
QString itemKey(const QString &item)
{
    const qsizetype eq = item.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : item.left(eq);
}

} // namespace

TDMServer::TDMServer(const QString &programFolder, QObject *owner)
    : QObject(owner)
    , m_connectionManager(std::make_unique<TDAConnectionManager>())
    , m_sessionManager(std::make_unique<TROInMemorySessionManager>())
{
    m_programFolder = withSeparator(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder);
    m_eventRepository = std::make_unique<TROInMemoryEventRepository>(*m_sessionManager);
    // Every request's service takes a connection: the pool spares each one a backend start.
    m_connectionManager->SetPoolingEnabled(true);
    m_webCheck = new QTimer(this);
    m_network = new QNetworkAccessManager(this);
    m_patchLadder = [this](IDAConnection &connection) {
        return TDMServerDatabase(connection, m_dataType, m_programFolder).PreformDatabaseUpdate();
    };
    try {
        ServerVersion = TvoSysInfo::BuildVersion();
        FAutoScheduleRunning = false;
        FStopAutoSchedule = false;
        m_webCheck->setInterval(kWebCheckInterval);
        connect(m_webCheck, &QTimer::timeout, this, &TDMServer::tmrWebCheckTimer);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("Create"), QString::fromUtf8(e.what()));
    }
    DMServer = this;
}

TDMServer::~TDMServer()
{
    m_webCheck->stop();
    if (m_connection) {
        m_connection->Close();
        m_connection.reset();
    }
    if (m_httpServer)
        m_httpServer->SetActive(false);
    if (m_discovery)
        m_discovery->SetActive(false);
    if (DMServer == this)
        DMServer = nullptr;
}

bool TDMServer::StopServing(std::chrono::milliseconds wait)
{
    m_connectionManager->AbortConnections();
    if (!m_httpServer || m_httpServer->Stop(wait))
        return true;
    AddToLog(llWarning, kSender, QStringLiteral("Shutdown"),
             QStringLiteral("requests still running after %1 ms are left unfinished").arg(wait.count()));
    return false;
}

QString TDMServer::SettingsPath() const
{
    return FileResolver::resolve(m_programFolder, QStringLiteral("Settings.ini"));
}

void TDMServer::LoadConfiguration()
{
    m_configFile = std::make_unique<TvoLocalConfigFile>(SettingsPath());
    if (m_configFile->FileName().isEmpty())
        throw std::runtime_error("Unable to locate configuration file,please fix this before continuing");

    QString languagePack = m_configFile->ReadString(QStringLiteral("System settings"), QStringLiteral("LanguagePack"), QString());
    if (languagePack.isEmpty())
        languagePack = FileResolver::resolve(m_programFolder, QStringLiteral("server.lng"));
    AddToLog(llInformation, kSender, QStringLiteral("languagepack : "), languagePack);
    if (!QFileInfo::exists(languagePack))
        throw std::runtime_error("Unable to locate languagepack");
    m_languageTexts = std::make_unique<TVOResourceHandler>();
    m_languageTexts->LoadResourceFile(languagePack);

    QString reportPath = m_configFile->ReadString(QStringLiteral("System settings"), QStringLiteral("Report path"), QString());
    if (reportPath.isEmpty())
        reportPath = FileResolver::resolve(m_programFolder, QStringLiteral("Reports"));
    if (!QFileInfo(reportPath).isDir())
        throw std::runtime_error("Unable to locate Report path");
    m_reportPath = withSeparator(reportPath);
}

bool TDMServer::InitializeServer()
{
    try {
        const TvoLocalConfigFile &config = *m_configFile;
        // Checked before anything starts: a server on a port nobody can reach is no server.
        const int httpPort = ConfiguredHttpPort();
        // Switched off, discovery's port is never bound: the settings editor keeps whatever stands there.
        const int discoveryPort = ConfiguredDiscovery() ? ConfiguredDiscoveryPort() : 0;
        m_webCheck->stop();
        const QString updateServer = config.ReadString(QStringLiteral("Updater"), QStringLiteral("Update Server"), QString());
        if (!updateServer.isEmpty())
            m_webCheck->start();
        if (isTrue(config.ReadString(QStringLiteral("Updater"), QStringLiteral("Use Web check"), QStringLiteral("True"))))
            m_webCheck->start();
        else
            m_webCheck->stop();

        QCoreApplication::setApplicationName(GetText(100));

        m_dataType = config.ReadString(QStringLiteral("Data Access"), QStringLiteral("Datatype"), QString());
        AddToLog(llInformation, kSender, QStringLiteral("Data Access : "), m_dataType);
        QString connectionString;
        if (m_dataType.isEmpty())
            throw std::runtime_error("No Data Access Type defined in the settings.ini file");
        if (m_dataType.compare(QLatin1String("Access"), Qt::CaseInsensitive) == 0)
            throw std::runtime_error("Microsoft Access in not longer supported!");
        // The definition keeps the name "MSSQL" that stored settings and code compare; the
        // engine behind it is PostgreSQL.
        if (m_dataType.compare(QLatin1String("MSSQL"), Qt::CaseInsensitive) == 0) {
            connectionString = config.ReadString(QStringLiteral("Data Access"), QStringLiteral("DataSource"), QString());
            if (connectionString.startsWith(QLatin1String("SDAC?"))) {
                AddToLog(llInformation, kSender, QStringLiteral("Data Access : "), QStringLiteral("parsing driver"));
                connectionString = QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;") + connectionString.mid(5);
            }
            connectionString = NormalizeConnectionString(connectionString);
            m_connectionManager->AddConnection(m_dataType, connectionString, true);
        }
        // An older database the settings service may migrate from, when the settings name one.
        const QString migrationSource = config.ReadString(QStringLiteral("Data Access"), QStringLiteral("Access"), QString());
        if (!migrationSource.isEmpty())
            m_connectionManager->AddConnection(QStringLiteral("Access"), migrationSource);

        try {
            m_connection = m_connectionManager->NewConnection(m_dataType, false);
        } catch (const std::exception &e) {
            AddToLog(llInformation, kSender, QStringLiteral("Verify Server"), QString::fromUtf8(e.what()));
        }
        if (m_dataType.compare(QLatin1String("MSSQL"), Qt::CaseInsensitive) == 0)
            config.WriteString(QStringLiteral("Data Access"), QStringLiteral("DataSource"), connectionString);

        for (int attempt = 1; m_connection && attempt <= kConnectAttempts; ++attempt) {
            try {
                m_connection->Open();
                break;
            } catch (const std::exception &e) {
                AddToLog(llSevere, kSender, QStringLiteral("Unable to connect to database"),
                         QString::fromUtf8(e.what()) + QLatin1Char('\r') + MaskPassword(m_connection->GetConnectionString()));
                QThread::msleep(1000);
            }
        }
        if (!m_connection || !m_connection->GetConnected())
            throw std::runtime_error("Could not connect to db after 3 attempts");

        if (m_dataType.compare(QLatin1String("MSSQL"), Qt::CaseInsensitive) == 0)
            AutoBackup();

        m_connection->BeginTransaction();
        bool patched = false;
        try {
            patched = m_patchLadder(*m_connection);
        } catch (...) {
            m_connection->RollbackTransaction();
            throw;
        }
        if (patched)
            m_connection->CommitTransaction();
        else
            m_connection->RollbackTransaction();

        m_discovery = new TRODiscoveryServer(this);
        m_discovery->SetServiceNames({QStringLiteral("Kestrova")});
        m_discovery->SetPort(quint16(discoveryPort));
        TVODiscoveryResultOptions answer;
        answer.Port = httpPort;
        answer.Version = ServerVersion;
        m_discovery->SetAnswer(answer);
        if (ConfiguredDiscovery() && m_discovery->SetActive(true))
            AddToLog(llInformation, kSender, QStringLiteral("Discovery"),
                     QStringLiteral("listening on UDP port %1 for the service name \"Kestrova\"").arg(m_discovery->Port()));

        m_httpServer = std::make_unique<TROHTTPServer>();
        m_httpServer->SetPort(httpPort);
        m_httpServer->AddDispatcher(QStringLiteral("Bin"));
        m_httpServer->SetSessionManager(m_sessionManager.get());
        m_httpServer->SetEventRepository(m_eventRepository.get());
        m_httpServer->SetSessionCheck(MakeLogOnGate([this] { return m_connectionManager->NewConnection(m_dataType); }));
        m_httpServer->SetFailureReport(ReportRequestFailure);
        // Events go to logged-on sessions only, and to every session while nobody can log on yet.
        m_eventRepository->SetNoUserExists([this] { return CountUsers(*m_connectionManager->NewConnection(m_dataType)) == 0; });
        m_httpServer->SetActive(true);
        AddToLog(llInformation, kSender, QStringLiteral("HTTP server"), QStringLiteral("listening on port %1").arg(m_httpServer->Port()));

        CheckUpdateServer();
        return false;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("VerifyServer"), QString::fromUtf8(e.what()));
        return true;
    }
}

int TDMServer::ConfiguredPort(const QString &section, int defaultPort) const
{
    // A missing key takes the default; anything written must be a port a client can reach.
    const QString missing = QStringLiteral("\x01");
    const QString text = m_configFile->ReadString(section, QStringLiteral("Port"), missing);
    if (text == missing)
        return defaultPort;
    const std::optional<quint16> port = ParsePort(text);
    if (!port)
        throw std::runtime_error(QStringLiteral("[%1] Port = \"%2\" in settings.ini is not a port number from 1 to 65535")
                                     .arg(section, text)
                                     .toStdString());
    return *port;
}

int TDMServer::ConfiguredHttpPort() const
{
    return ConfiguredPort(QStringLiteral("Server"), 8081);
}

int TDMServer::ConfiguredDiscoveryPort() const
{
    return ConfiguredPort(QStringLiteral("Discovery Service"), 8098);
}

bool TDMServer::ConfiguredDiscovery() const
{
    return isTrue(m_configFile->ReadString(QStringLiteral("Discovery Service"), QStringLiteral("Use discovery"), QStringLiteral("True")));
}

int TDMServer::HttpPort() const
{
    return m_httpServer ? m_httpServer->Port() : 0;
}

int TDMServer::DiscoveryPort() const
{
    return m_discovery ? m_discovery->Port() : 0;
}

bool TDMServer::WebCheckActive() const
{
    return m_webCheck->isActive();
}

QString TDMServer::GetText(int number) const
{
    if (!m_languageTexts || !m_languageTexts->IsOpen())
        return QStringLiteral("Invalid # %1").arg(number);
    return m_languageTexts->GetString(number);
}

QString TDMServer::NormalizeConnectionString(const QString &connectionString)
{
    QStringList items = connectionString.split(QLatin1Char(';'));
    const QList<std::pair<QString, QString>> renames = {{QStringLiteral("Database"), QStringLiteral("Initial Catalog")},
                                                        {QStringLiteral("Server"), QStringLiteral("Data Source")},
                                                        {QStringLiteral("UserID"), QStringLiteral("User ID")}};
    for (const auto &[from, to] : renames) {
        for (QString &item : items) {
            if (itemKey(item) == from) {
                item = to + item.mid(from.size());
                break;
            }
        }
    }
    return items.join(QLatin1Char(';'));
}

QString TDMServer::MaskPassword(const QString &connectionString)
{
    return DatabaseMaintenance::MaskPassword(connectionString);
}

void TDMServer::AutoBackup()
{
    try {
        const QString use = m_configFile->ReadString(QStringLiteral("Backup"), QStringLiteral("Use Autobackup"), QStringLiteral("FALSE"));
        if (use.toUpper() == QLatin1String("FALSE"))
            return;
        const QString folder = FileResolver::resolve(m_programFolder, QStringLiteral("Backup"));
        if (!QDir().mkpath(folder))
            throw std::runtime_error("cannot create the backup folder " + folder.toStdString());
        const QString target = QDir(folder).filePath(kBackupFile);

        TDatabaseBackup(m_connection->GetConnectionString()).Backup(target);
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("MSSQLBackup"), QString::fromUtf8(e.what()));
    }
}

void TDMServer::CreateBackup()
{
    // A data module whose settings were never read (not started) has no database file to copy.
    if (!m_configFile)
        return;
    try {
        const QString dataType = m_configFile->ReadString(QStringLiteral("Data Access"), QStringLiteral("DataType"), QStringLiteral("Access"));
        if (dataType != QLatin1String("Access"))
            return;
        const QString source = m_configFile->ReadString(QStringLiteral("Data Access"), QStringLiteral("DataSource"), QString());
        const QFileInfo info(source);
        const QString copy = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".bck");
        QFile::remove(copy);
        if (!QFile::copy(source, copy))
            throw std::runtime_error("cannot copy " + source.toStdString());
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("CreateBackup"), QString::fromUtf8(e.what()));
    }
}

void TDMServer::tmrWebCheckTimer()
{
    try {
        const TvoLocalConfigFile &config = *m_configFile;
        if (config.ReadString(QStringLiteral("Updater"), QStringLiteral("Use Web check"), QStringLiteral("FALSE")).toUpper()
            != QLatin1String("TRUE"))
            return;
        QDateTime lastCheck = QLocale::system().toDateTime(
            config.ReadString(QStringLiteral("Updater"), QStringLiteral("Last check"),
                              QLocale::system().toString(QDate(1899, 12, 30), QLocale::ShortFormat)),
            QLocale::ShortFormat);
        if (!lastCheck.isValid())
            lastCheck = WallClock(QDate::fromString(config.ReadString(QStringLiteral("Updater"), QStringLiteral("Last check"), QString()), Qt::ISODate));
        bool ok = false;
        int interval = config.ReadString(QStringLiteral("Updater"), QStringLiteral("Check interval"), QStringLiteral("30")).toInt(&ok);
        if (!lastCheck.isValid() || !ok) {
            lastCheck = WallClockNow();
            interval = 0;
        }
        const qint64 days = lastCheck.date().daysTo(QDate::currentDate());
        if (interval <= days)
            CheckUpdateServer();
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("tmrWebCheck"), QString::fromUtf8(e.what()));
        m_webCheck->stop();
    }
}

void TDMServer::CheckUpdateServer()
{
    const TLogService service(WebServiceSettings::Host(m_programFolder, WebServiceSettings::LogServiceKey));
    if (!service.Configured()) {
        // Said once: the web-check timer would repeat it every quarter of an hour.
        if (!m_usageReportSkippedLogged)
            AddToLog(llInformation, kSender, QStringLiteral("CheckUpdateServer"),
                     QStringLiteral("no usage-log service configured; report skipped"));
        m_usageReportSkippedLogged = true;
        return;
    }
    // Asynchronous: the main thread never waits for the maker's service.
    service.AddSimpleLogAsync(m_network, TUsageReport::Make(QStringLiteral("Brennic"), ServerVersion),
                              [](bool, const QString &error) {
                                  if (!error.isEmpty())
                                      AddToLog(llSevere, kSender, QStringLiteral("CheckUpdateServer:SimpleLog"), error);
                              });
}

void TDMServer::StartConfigurator()
{
    const QString editor = FileResolver::resolve(m_programFolder, QStringLiteral("Morvane"));
    if (QFileInfo(editor).isExecutable())
        RunProgram(editor, {});
    else
        AddToLog(llSevere, kSender, QStringLiteral("Server startup"), QStringLiteral("Unable to locate orvane.exe"));
}

bool TDMServer::CheckClientUpdate(const QString &, const QString &clientVersion, QString &newVersion) const
{
    newVersion.clear();
    QString client;
    if (!TQorVerCompare::NormalizeVersion(clientVersion, client))
        return false;
    const QString updates = FileResolver::resolve(m_programFolder, QStringLiteral("Updates"));
    // The highest version above the client's wins, whatever order the folder lists them in.
    QString best;
    for (const QString &entry : QDir(updates).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        QString candidate;
        if (!TQorVerCompare::NormalizeVersion(entry, candidate))
            continue;
        if (TQorVerCompare::Compare(client, candidate) > 0 && (best.isEmpty() || TQorVerCompare::Compare(best, candidate) > 0))
            best = candidate;
    }
    newVersion = best;
    return !best.isEmpty();
}

std::unique_ptr<UpdateFiles> TDMServer::GetUpdateFiles(const QString &version) const
{
    QString normalized;
    if (!FileResolver::isPlainFileName(version) || !TQorVerCompare::NormalizeVersion(version, normalized))
        return nullptr;
    const QString updates = FileResolver::resolve(m_programFolder, QStringLiteral("Updates"));
    const QString folder = FileResolver::resolve(updates, version);
    if (!QFileInfo(folder).isDir())
        return nullptr;
    // Only regular files that lie inside the Updates folder once links are resolved: a link
    // to /etc/shadow in a version folder must not reach a client that has not even logged on.
    const QString inside = QFileInfo(updates).canonicalFilePath() + QLatin1Char('/');
    const auto servable = [&](const QFileInfo &entry, bool asFolder) {
        const QString target = entry.canonicalFilePath();
        const bool ok = !target.isEmpty() && target.startsWith(inside) && (asFolder ? entry.isDir() : entry.isFile());
        if (!ok)
            AddToLog(llWarning, kSender, QStringLiteral("GetUpdateFiles"),
                     QStringLiteral("%1 is not served: only files inside the Updates folder are")
                         .arg(QDir::toNativeSeparators(entry.absoluteFilePath())));
        return ok;
    };
    const QFileInfo versionFolder(folder);
    if (!servable(versionFolder, true))
        return nullptr;
    auto files = std::make_unique<UpdateFiles>();
    const QDir root(folder);
    // Files of a folder before its sub-folders, as the clients expect.
    std::function<void(const QString &)> addFolder = [&](const QString &path) {
        const QFileInfoList entries =
            QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QStringList folders;
        for (const QFileInfo &file : entries) {
            if (file.isDir() && !file.isSymLink()) {
                folders << file.absoluteFilePath();
                continue;
            }
            if (!servable(file, false))
                continue;
            QFile in(file.absoluteFilePath());
            if (!in.open(QIODevice::ReadOnly))
                throw std::runtime_error("cannot read the update file " + file.absoluteFilePath().toStdString());
            UpdateFile &entry = files->Add();
            QString relative = root.relativeFilePath(file.absoluteFilePath());
            entry.FileName = QLatin1Char('\\') + relative.replace(QLatin1Char('/'), QLatin1Char('\\'));
            // The file that was checked; it is read from disk as the reply is written.
            entry.Filedata().SetFile(file.canonicalFilePath(), in.size());
        }
        for (const QString &sub : std::as_const(folders))
            addFolder(sub);
    };
    addFolder(folder);
    return files;
}

QString TDMServer::GetLocalIPAddress() const
{
    return TvoSysInfo::GetLocalIP();
}

QString TDMServer::FormatSQLDate(const QDate &date)
{
    QString separator = QStringLiteral("/");
    const QString shortFormat = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (const QChar c : shortFormat)
        if (!c.isLetter()) {
            separator = c;
            break;
        }
    const auto part = [](int value, int width) { return QString::number(value).rightJustified(width, QLatin1Char('0')); };
    return part(date.month(), 2) + separator + part(date.day(), 2) + separator + part(date.year(), 4);
}

QString TDMServer::QuoteSQLText(const QString &text)
{
    return QString(text).replace(QLatin1Char('\''), QLatin1String("''"));
}
