// Settles on one data server before anything else: servers found by a UDP broadcast (kept when
// their version is not older than the client's), the preferred server from the user's registry,
// the user's choice among several, or an address typed by hand; on a single-computer
// installation only the local server, with the Diagnose program when it does not answer. The
// chosen URL goes to the main and the events channels.
#pragma once

#include "client/HostComponents.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

class TDMClient;
struct TVODiscoveryResultOptions;

class TServerConnector : public QObject, public IServerConnector
{
    Q_OBJECT
public:
    static inline const QString DiagnoseName = QStringLiteral("Diagnose");
    static constexpr quint16 DiscoveryPort = 8098;
    // The data server's HTTP port where nothing else names one.
    static constexpr quint16 DefaultPort = 8099;

    explicit TServerConnector(TDMClient &client);

    // Where the discovery request goes: a broadcast to port 8098 unless a test says otherwise.
    void SetDiscoveryTarget(const QHostAddress &address, quint16 port);

    int ConnectToServer() override;
    // Fills the client's discovered-server list.
    void DiscoverServers();
    // The URL of the server chosen among the discovered ones (or the preferred one); empty for none.
    QString GetSelectedServer();
    // The server of this computer: at the port of the [Server] section of the settings file
    // beside the client where it has one (a server of the same folder), else DefaultPort.
    QString LocalServerURL() const;
    // The local or a typed server; empty for none.
    QString GetManualServer();
    // True when the server did NOT answer.
    bool ProbeServerAt(const QString &url);
    // "Unknown" when the main channel is busy or the server cannot tell.
    QString GetServerVersion();

    // A server is kept when its dotted version is not older than ours, part by part as numbers.
    static bool KeepsServer(const QString &serverVersion, const QString &ownVersion);
    // "http://host:8100/BIN" as the address dialog shows it: "http://host" and "8100".
    static void SplitServerURL(const QString &url, QString &server, QString &port);

private:
    void NewServiceFound(const QString &host, const TVODiscoveryResultOptions &options);
    QString ChooseAmongDiscovered();
    QWidget *Owner() const;

    TDMClient &m_client;
    QHostAddress m_discoveryAddress = QHostAddress::Broadcast;
    quint16 m_discoveryPort = DiscoveryPort;
    bool m_waiting = false;
};
