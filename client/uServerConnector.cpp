#include "client/uServerConnector.h"

#include "client/ufDlgServerAddress.h"
#include "client/ufSelectServer.h"
#include "client/uDMClient.h"

#include "Quorva_Data_Service_Intf.h"
#include "foundation/IniFile.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uRegistry.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROHTTPChannel.h"
#include "updating/uSystemPathsAndFolders.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString kMain = QStringLiteral("Main");
const QString kDMClient = QStringLiteral("DMClient");
const QString kServiceName = QStringLiteral("Kestrova");
const QString kPreferredServer = QStringLiteral("Preferred server");
const QString kAlwaysPreferred = QStringLiteral("Always use preferred server");
const QString kInstallationType = QStringLiteral("Installation Type");
const QString kSingle = QStringLiteral("Single");
const QString kBin = QStringLiteral("/BIN");
const QString kServerSection = QStringLiteral("Server");
constexpr int kTextConnecting = 1110;

QString ReadUser(const QString &name, const QString &defaultValue = {})
{
    QString value;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey, value, defaultValue, name);
    return value;
}

void WriteUser(const QString &name, const QString &value)
{
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, value, name);
}

bool IsSingle(const QString &defaultValue)
{
    QString type;
    TQorReg::ReadString(HKEY_LOCAL_MACHINE, ProductKey, type, defaultValue, kInstallationType);
    return type.compare(kSingle, Qt::CaseInsensitive) == 0;
}

QString ErrorText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TServerConnector::TServerConnector(TDMClient &client) : m_client(client)
{
    TRODiscoveryClient *discovery = m_client.RODiscoveryClient();
    connect(discovery, &TRODiscoveryClient::NewServiceFound, this,
            [this](const QString &, const QString &host, const TVODiscoveryResultOptions &options) { NewServiceFound(host, options); });
    connect(discovery, &TRODiscoveryClient::ResponseTimeOut, this, [this] { m_waiting = false; });
    connect(discovery, &TRODiscoveryClient::DiscoveryException, this, [this](const QString &error) {
        m_waiting = false;
        AddToLog(llSevere, kDMClient, QStringLiteral("RODiscoveryClientDiscoveryException"), error);
    });
}

void TServerConnector::SetDiscoveryTarget(const QHostAddress &address, quint16 port)
{
    m_discoveryAddress = address;
    m_discoveryPort = port;
}

bool TServerConnector::KeepsServer(const QString &serverVersion, const QString &ownVersion)
{
    try {
        return TQorVerCompare::Compare(ownVersion, serverVersion) >= 0;
    } catch (const EVersionError &) {
        // Neither older nor newer can be told of a text that is no version.
        return false;
    }
}

void TServerConnector::SplitServerURL(const QString &url, QString &server, QString &port)
{
    QString address = url;
    const qsizetype bin = address.indexOf(kBin, 0, Qt::CaseInsensitive);
    if (bin >= 0)
        address.truncate(bin);
    // The first ":" after "http:" parts the host from the port.
    const qsizetype colon = address.indexOf(QLatin1Char(':'), 5);
    if (colon < 0) {
        server = address;
        port.clear();
        return;
    }
    server = address.left(colon);
    port = address.mid(colon + 1);
}

QString TServerConnector::LocalServerURL() const
{
    // A server in the client's folder says its port in the settings file they share.
    const QString settings = m_client.Configuration().SettingsFile();
    const std::optional<quint16> port = ParsePort(IniFile::readString(settings, kServerSection, QStringLiteral("Port"), QString()));
    return QStringLiteral("http://localhost:%1/BIN").arg(port.value_or(DefaultPort));
}

QWidget *TServerConnector::Owner() const
{
    return m_client.MainWindow() ? m_client.MainWindow()->Widget() : nullptr;
}

void TServerConnector::DiscoverServers()
{
    try {
        if (!m_client.UseDiscovery() || IsSingle(QStringLiteral("Client")))
            return;
        TRODiscoveryClient *discovery = m_client.RODiscoveryClient();
        m_waiting = true;
        m_client.DiscoveredServers().clear();
        discovery->SetTargetAddress(m_discoveryAddress);
        discovery->SetTargetPort(m_discoveryPort);
        discovery->SetClientVersion(m_client.OwnVersion());
        discovery->RefreshServerList(kServiceName);
        // The first answer or the time-out ends the wait; the client's own tries bound it.
        QEventLoop loop;
        while (m_waiting && discovery->Running())
            loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
        discovery->Stop();
        m_waiting = false;
        QList<TDiscoveredServer> &servers = m_client.DiscoveredServers();
        std::stable_sort(servers.begin(), servers.end(),
                         [](const TDiscoveredServer &a, const TDiscoveredServer &b) { return a.Text < b.Text; });
    } catch (const std::exception &e) {
        m_waiting = false;
        AddToLog(llSevere, kDMClient, QStringLiteral("DiscoverServers"), ErrorText(e));
    }
}

void TServerConnector::NewServiceFound(const QString &host, const TVODiscoveryResultOptions &options)
{
    try {
        m_waiting = false;
        TDiscoveredServer server;
        server.Text = QStringLiteral("http://%1:%2").arg(host).arg(options.Port);
        server.Record.ID = server.Text + kBin;
        server.Record.Text = options.Version;
        server.Record.Value = options.Port;
        if (KeepsServer(options.Version, m_client.OwnVersion()))
            m_client.DiscoveredServers().append(server);
        else
            AddToLog(llInformation, kMain, QStringLiteral("RODiscoveryClientNewServiceFound"),
                     QStringLiteral("%1 left out: version %2 is older than %3").arg(server.Text, options.Version, m_client.OwnVersion()));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("RODiscoveryClientNewServiceFound"), ErrorText(e));
    }
}

QString TServerConnector::ChooseAmongDiscovered()
{
    const QList<TDiscoveredServer> &servers = m_client.DiscoveredServers();
    if (servers.isEmpty())
        return GetManualServer();
    if (servers.size() == 1)
        return servers.first().Record.ID;
    return GetSelectedServer();
}

int TServerConnector::ConnectToServer()
{
    try {
        DiscoverServers();
        m_client.RODiscoveryClient()->Stop();
        const QString preferred = ReadUser(kPreferredServer);
        const bool always = StrToBoolDef(ReadUser(kAlwaysPreferred, QStringLiteral("FALSE")), false);

        QString url;
        if (always && !preferred.isEmpty()) {
            if (!ProbeServerAt(preferred))
                url = preferred;
            else if (m_client.DiscoveredServers().isEmpty())
                url = GetManualServer();
        } else {
            url = ChooseAmongDiscovered();
        }
        if (always && url.isEmpty())
            url = ChooseAmongDiscovered();

        AddToLog(llInformation, kMain, QStringLiteral("Servers:"), QString::number(m_client.DiscoveredServers().size()));
        // A start that found nothing keeps the user's server for the next one.
        if (url.isEmpty())
            return 2;
        m_client.ROHTTP()->SetTargetURL(url);
        AddToLog(llInformation, kMain, QStringLiteral("Server:"), url);
        m_client.ROHTTPEvents()->SetTargetURL(url);
        AddToLog(llInformation, kMain, QStringLiteral("Server:"), url);
        m_client.SetCurrentServerURL(url);
        m_client.UpdateSplash(m_client.GetText(kTextConnecting));
        if (ProbeServerAt(url)) {
            AddToLog(llSevere, kDMClient, QStringLiteral("Server version\t\t"), QString());
            return 1;
        }
        GetServerVersion();
        return 0;
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("ConnectToServer"), ErrorText(e));
        return 1;
    }
}

QString TServerConnector::GetSelectedServer()
{
    QString url;
    try {
        const QString preferred = ReadUser(kPreferredServer);
        if (!preferred.isEmpty() && m_client.GetAlwaysUsePreferredServer() && !ProbeServerAt(preferred))
            return preferred;
        TfSelectServer dialog(Owner());
        dialog.InitForm(m_client);
        dialog.SetServers(&m_client.DiscoveredServers(), preferred);
        if (dialog.exec() == QDialog::Accepted) {
            const int index = dialog.ChosenIndex();
            if (index >= 0) {
                url = m_client.DiscoveredServers().at(index).Record.ID;
                WriteUser(kPreferredServer, url);
                WriteUser(kAlwaysPreferred, dialog.chkShow()->isChecked() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            }
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kDMClient, QStringLiteral("GetSelectedServer"), ErrorText(e));
    }
    return url;
}

QString TServerConnector::GetManualServer()
{
    const QString preferred = ReadUser(kPreferredServer, LocalServerURL());
    if (IsSingle(kSingle)) {
        if (!ProbeServerAt(preferred))
            return preferred;
        // Diagnose names the address that was tried.
        const QString diagnose = m_client.Configuration().ProgramFolder() + DiagnoseName;
        if (QFileInfo(diagnose).isExecutable())
            RunProgram(diagnose, {kSingle + QLatin1Char(';') + preferred});
        else
            AddToLog(llWarning, kDMClient, QStringLiteral("GetManualServer"), QStringLiteral("Unable to locate ") + diagnose);
        return {};
    }
    if (ReadUser(kAlwaysPreferred) == QLatin1String("TRUE") && !ProbeServerAt(preferred))
        return preferred;
    QString server;
    QString port;
    SplitServerURL(preferred, server, port);
    TfDlgServerAddress dialog(Owner());
    dialog.InitForm(m_client);
    dialog.SetAddress(server, port);
    dialog.SetProbe([this](const QString &url) { return !ProbeServerAt(url); });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QString url = dialog.Server() + QLatin1Char(':') + dialog.Port() + kBin;
    WriteUser(kPreferredServer, url);
    if (dialog.AlwaysUse())
        WriteUser(kAlwaysPreferred, QStringLiteral("TRUE"));
    return url;
}

bool TServerConnector::ProbeServerAt(const QString &url)
{
    const std::shared_ptr<TROHTTPChannel> probe = m_client.ROProbeHTP();
    probe->SetTargetURL(url);
    bool answered = false;
    try {
        answered = CoProbeService::Create(m_client.ROBinMgs(), probe)->ProbeServer();
    } catch (const std::exception &) {
        answered = false;
    }
    probe->SetTargetURL(QString());
    return !answered;
}

QString TServerConnector::GetServerVersion()
{
    if (m_client.ROHTTP()->Busy())
        return QStringLiteral("Unknown");
    try {
        return CoLogOnService::Create(m_client.ROBinMgs(), m_client.ROHTTP())->GetServerVersion();
    } catch (const std::exception &) {
        AddToLog(llSevere, kMain, QStringLiteral("GetServerVersion"), QStringLiteral("Unable to locate server:") + m_client.ROHTTP()->TargetURL());
        return QStringLiteral("Unknown");
    }
}
