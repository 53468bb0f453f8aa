// UDP discovery: a responder that answers requests for its service names with the server's HTTP
// port and version, and a client that sends a request (broadcast by default) a few times and
// reports each server that answers for the asked name. Both run on the Qt event loop of their
// thread and never block; datagrams that do not parse exactly are ignored.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"

#include "foundation/uCommon.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <chrono>
#include <optional>

class QUdpSocket;
class QTimer;

struct RODiscoveryRequest
{
    QString ServiceName;
    QString ClientVersion;
};

struct RODiscoveryAnswer
{
    QString ServiceName;
    quint16 Port = 0;
    QString Version;
};

REMOTING_EXPORT QByteArray EncodeDiscoveryRequest(const RODiscoveryRequest &request);
REMOTING_EXPORT QByteArray EncodeDiscoveryAnswer(const RODiscoveryAnswer &answer);
REMOTING_EXPORT std::optional<RODiscoveryRequest> DecodeDiscoveryRequest(const QByteArray &datagram);
REMOTING_EXPORT std::optional<RODiscoveryAnswer> DecodeDiscoveryAnswer(const QByteArray &datagram);

class REMOTING_EXPORT TRODiscoveryServer : public QObject
{
    Q_OBJECT
public:
    explicit TRODiscoveryServer(QObject *parent = nullptr);
    ~TRODiscoveryServer() override;

    // 0 takes any free port; Port() answers the one bound once active.
    void SetPort(quint16 port) { m_port = port; }
    quint16 Port() const { return m_port; }
    void SetBindAddress(const QHostAddress &address) { m_bindAddress = address; }
    void SetServiceNames(const QStringList &names) { m_serviceNames = names; }
    void SetAnswer(const TVODiscoveryResultOptions &answer) { m_answer = answer; }
    // False when the port cannot be bound (logged).
    bool SetActive(bool active);
    bool Active() const;

private:
    void ReadPending();

    QUdpSocket *m_socket = nullptr;
    quint16 m_port = RemotingLimits::kDefaultDiscoveryPort;
    QHostAddress m_bindAddress = QHostAddress::AnyIPv4;
    QStringList m_serviceNames;
    TVODiscoveryResultOptions m_answer;
};

class REMOTING_EXPORT TRODiscoveryClient : public QObject
{
    Q_OBJECT
public:
    explicit TRODiscoveryClient(QObject *parent = nullptr);
    ~TRODiscoveryClient() override;

    // Broadcast on the default port unless a test points it elsewhere.
    void SetTargetAddress(const QHostAddress &address) { m_target = address; }
    void SetTargetPort(quint16 port) { m_targetPort = port; }
    void SetRetryInterval(std::chrono::milliseconds interval) { m_interval = interval; }
    void SetClientVersion(const QString &version) { m_clientVersion = version; }

    // Sends the request up to five times, one interval apart; ResponseTimeOut follows one
    // interval after the last, so the wait is bounded. Answers for other names are ignored.
    void RefreshServerList(const QString &serviceName);
    // Switches the socket off; no signal follows.
    void Stop();
    bool Running() const { return m_socket != nullptr; }

signals:
    void NewServiceFound(const QString &serviceName, const QString &host, const TVODiscoveryResultOptions &options);
    void ResponseTimeOut();
    void DiscoveryException(const QString &error);

private:
    void Send();
    void ReadPending();

    QUdpSocket *m_socket = nullptr;
    QTimer *m_timer;
    QHostAddress m_target = QHostAddress::Broadcast;
    quint16 m_targetPort = RemotingLimits::kDefaultDiscoveryPort;
    std::chrono::milliseconds m_interval = RemotingLimits::kDiscoveryRetryInterval;
    QString m_clientVersion;
    QString m_serviceName;
    int m_sent = 0;
    QSet<QString> m_found;
};
