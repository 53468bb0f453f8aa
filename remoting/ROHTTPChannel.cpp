#include "remoting/ROHTTPChannel.h"

#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

thread_local int t_synchronousCalls = 0;

// What the server may send at most: a whole reply message, compressed or not.
constexpr qint64 kMaxReplyBytes = qint64(RemotingLimits::kMaxReplySize) + 64 * 1024;

// Errors raised before a connection stood: the request never left this machine.
bool MayHaveReachedServer(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
        return false;
    default:
        return true;
    }
}

} // namespace

QUuid ROClientSessionID()
{
    static const QUuid id = QUuid::createUuid();
    return id;
}

TROTransportChannel::~TROTransportChannel() = default;

TROHTTPChannel::TROHTTPChannel(QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)), m_sessionId(ROClientSessionID())
{
}

TROHTTPChannel::~TROHTTPChannel() = default;

int TROHTTPChannel::SynchronousCallsInProgress()
{
    return t_synchronousCalls;
}

void TROHTTPChannel::Post(const QByteArray &body, int attempt, AsyncDone done)
{
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/octet-stream"));
    request.setTransferTimeout(int(std::min<qint64>(m_timeout.count(), std::numeric_limits<int>::max())));
    QNetworkReply *reply = m_network->post(request, body);
    connect(reply, &QNetworkReply::downloadProgress, reply, [this, reply](qint64 received, qint64 total) {
        if (received > kMaxReplyBytes)
            reply->abort();
        else
            emit ReceiveProgress(received, total);
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, attempt, done = std::move(done)]() {
        reply->deleteLater();
        QString error;
        QByteArray data;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError)
            error = reply->errorString();
        else if (status != 200)
            error = QStringLiteral("The server answered HTTP %1").arg(status);
        else
            data = reply->readAll();
        if (data.size() > kMaxReplyBytes) {
            error = QStringLiteral("The reply is larger than %1 bytes").arg(kMaxReplyBytes);
            data.clear();
        }
        if (!error.isEmpty()) {
            error = QStringLiteral("%1 (%2)").arg(error, m_url.toString());
            const TROCallFailure failure{error, attempt, MayHaveReachedServer(reply->error())};
            if (attempt < RemotingLimits::kMaxCallRetries && m_failureHandler && m_failureHandler(failure)) {
                Post(body, attempt + 1, done);
                return;
            }
        }
        done(data, error);
    });
}

void TROHTTPChannel::Dispatch(TROMessage &message)
{
    if (m_busy)
        throw EROChannelBusy(QStringLiteral("The channel is busy with another call"));
    message.SetClientID(m_sessionId);
    const QByteArray body = message.SaveToBytes(RemotingLimits::kMaxRequestSize);

    m_busy = true;
    ++t_synchronousCalls;
    bool finished = false;
    QByteArray reply;
    QString error;
    QEventLoop loop;
    Post(body, 0, [&](const QByteArray &data, const QString &failure) {
        reply = data;
        error = failure;
        finished = true;
        loop.quit();
    });
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    --t_synchronousCalls;
    m_busy = false;

    if (!error.isEmpty())
        throw EROTransportError(error);
    if (reply.isEmpty()) {
        // A one-way call: nothing comes back.
        message.ClearValues();
        return;
    }
    message.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
    message.RaiseIfError();
}

void TROHTTPChannel::DispatchAsync(const TROMessage &message, AsyncDone done)
{
    if (m_busy)
        throw EROChannelBusy(QStringLiteral("The channel is busy with another call"));
    TROMessage stamped = message;
    stamped.SetClientID(m_sessionId);
    const QByteArray body = stamped.SaveToBytes(RemotingLimits::kMaxRequestSize);
    m_busy = true;
    Post(body, 0, [this, done = std::move(done)](const QByteArray &data, const QString &error) {
        m_busy = false;
        done(data, error);
    });
}
