#include "remoting/RODiscovery.h"

#include "foundation/QuorvaLogFile.h"

#include <QNetworkDatagram>
#include <QStringDecoder>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

namespace {

const char kMagic[4] = {'K', 'Q', 'D', '1'};
constexpr quint8 kRequest = 1;
constexpr quint8 kAnswer = 2;
const QString kSender = QStringLiteral("Discovery");

void PutStr(QByteArray &out, const QString &s)
{
    const QByteArray utf8 = s.toUtf8();
    char len[4];
    qToLittleEndian(quint32(utf8.size()), len);
    out.append(len, 4);
    out.append(utf8);
}

class Cursor
{
public:
    explicit Cursor(const QByteArray &data) : m_data(data) {}
    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_data.size(); }
    const char *Raw(qsizetype n)
    {
        if (!m_ok || n < 0 || n > m_data.size() - m_pos) {
            m_ok = false;
            return nullptr;
        }
        const char *p = m_data.constData() + m_pos;
        m_pos += n;
        return p;
    }
    quint8 Byte()
    {
        const char *p = Raw(1);
        return p ? quint8(*p) : 0;
    }
    quint16 U16()
    {
        const char *p = Raw(2);
        return p ? qFromLittleEndian<quint16>(p) : 0;
    }
    QString Str()
    {
        const char *p = Raw(4);
        if (!p)
            return {};
        const quint32 n = qFromLittleEndian<quint32>(p);
        if (n > quint32(m_data.size())) {
            m_ok = false;
            return {};
        }
        const char *s = Raw(qsizetype(n));
        if (!s)
            return {};
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString text = decoder(QByteArrayView(s, qsizetype(n)));
        if (decoder.hasError())
            m_ok = false;
        return text;
    }
    bool Header(quint8 kind)
    {
        const char *magic = Raw(4);
        return magic && std::memcmp(magic, kMagic, 4) == 0 && Byte() == kind && m_ok;
    }

private:
    const QByteArray &m_data;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

QByteArray Header(quint8 kind)
{
    QByteArray out(kMagic, 4);
    out.append(char(kind));
    return out;
}

} // namespace

QByteArray EncodeDiscoveryRequest(const RODiscoveryRequest &request)
{
    QByteArray out = Header(kRequest);
    PutStr(out, request.ServiceName);
    PutStr(out, request.ClientVersion);
    return out;
}

QByteArray EncodeDiscoveryAnswer(const RODiscoveryAnswer &answer)
{
    QByteArray out = Header(kAnswer);
    PutStr(out, answer.ServiceName);
    char port[2];
    qToLittleEndian(answer.Port, port);
    out.append(port, 2);
    PutStr(out, answer.Version);
    return out;
}

std::optional<RODiscoveryRequest> DecodeDiscoveryRequest(const QByteArray &datagram)
{
    if (std::size_t(datagram.size()) > RemotingLimits::kMaxDatagramSize)
        return std::nullopt;
    Cursor c(datagram);
    if (!c.Header(kRequest))
        return std::nullopt;
    RODiscoveryRequest r;
    r.ServiceName = c.Str();
    r.ClientVersion = c.Str();
    if (!c.Ok() || !c.AtEnd())
        return std::nullopt;
    return r;
}

std::optional<RODiscoveryAnswer> DecodeDiscoveryAnswer(const QByteArray &datagram)
{
    if (std::size_t(datagram.size()) > RemotingLimits::kMaxDatagramSize)
        return std::nullopt;
    Cursor c(datagram);
    if (!c.Header(kAnswer))
        return std::nullopt;
    RODiscoveryAnswer a;
    a.ServiceName = c.Str();
    a.Port = c.U16();
    a.Version = c.Str();
    if (!c.Ok() || !c.AtEnd())
        return std::nullopt;
    return a;
}

TRODiscoveryServer::TRODiscoveryServer(QObject *parent) : QObject(parent) {}

TRODiscoveryServer::~TRODiscoveryServer() = default;

bool TRODiscoveryServer::Active() const
{
    return m_socket != nullptr;
}

bool TRODiscoveryServer::SetActive(bool active)
{
    if (active == Active())
        return true;
    if (!active) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
        return true;
    }
    auto socket = std::make_unique<QUdpSocket>(this);
    if (!socket->bind(m_bindAddress, m_port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        AddToLog(llSevere, kSender, QStringLiteral("SetActive"),
                 QStringLiteral("Cannot listen for discovery on port %1: %2").arg(m_port).arg(socket->errorString()));
        return false;
    }
    m_port = socket->localPort();
    m_socket = socket.release();
    connect(m_socket, &QUdpSocket::readyRead, this, &TRODiscoveryServer::ReadPending);
    return true;
}

void TRODiscoveryServer::ReadPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(qint64(RemotingLimits::kMaxDatagramSize) + 1);
        const auto request = DecodeDiscoveryRequest(datagram.data());
        if (!request || !m_serviceNames.contains(request->ServiceName))
            continue;
        const RODiscoveryAnswer answer{request->ServiceName, quint16(m_answer.Port), m_answer.Version};
        m_socket->writeDatagram(EncodeDiscoveryAnswer(answer), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

TRODiscoveryClient::TRODiscoveryClient(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &TRODiscoveryClient::Send);
}

TRODiscoveryClient::~TRODiscoveryClient() = default;

void TRODiscoveryClient::RefreshServerList(const QString &serviceName)
{
    Stop();
    m_serviceName = serviceName;
    m_sent = 0;
    m_found.clear();
    m_socket = new QUdpSocket(this);
    if (!m_socket->bind(QHostAddress::AnyIPv4, 0)) {
        const QString error = m_socket->errorString();
        Stop();
        emit DiscoveryException(error);
        return;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &TRODiscoveryClient::ReadPending);
    m_timer->start(m_interval);
    Send();
}

void TRODiscoveryClient::Stop()
{
    m_timer->stop();
    if (!m_socket)
        return;
    // Stop may run inside the socket's own readyRead (a handler of NewServiceFound): the socket
    // is closed now and deleted once its signal has returned.
    disconnect(m_socket, nullptr, this, nullptr);
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void TRODiscoveryClient::Send()
{
    if (!m_socket)
        return;
    if (m_sent >= RemotingLimits::kDiscoveryAttempts) {
        Stop();
        emit ResponseTimeOut();
        return;
    }
    ++m_sent;
    const QByteArray request = EncodeDiscoveryRequest({m_serviceName, m_clientVersion});
    if (m_socket->writeDatagram(request, m_target, m_targetPort) < 0)
        emit DiscoveryException(m_socket->errorString());
}

void TRODiscoveryClient::ReadPending()
{
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(qint64(RemotingLimits::kMaxDatagramSize) + 1);
        const auto answer = DecodeDiscoveryAnswer(datagram.data());
        if (!answer || answer->ServiceName != m_serviceName || answer->Port == 0)
            continue;
        QHostAddress sender = datagram.senderAddress();
        bool isV4 = false;
        const quint32 v4 = sender.toIPv4Address(&isV4);
        if (isV4)
            sender = QHostAddress(v4);
        const QString host = sender.toString();
        const QString key = host + QLatin1Char(':') + QString::number(answer->Port);
        if (m_found.contains(key))
            continue;
        m_found.insert(key);
        TVODiscoveryResultOptions options;
        options.Port = answer->Port;
        options.Version = answer->Version;
        // A handler may stop the client or start another refresh.
        emit NewServiceFound(m_serviceName, host, options);
    }
}
