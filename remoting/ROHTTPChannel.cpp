#include "remoting/ROHTTPChannel.h"

#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

thread_local int t_synchronousCalls = 0;

// What the server may send at most: a whole reply message, compressed or not.
constexpr qint64 kMaxReplyBytes = qint64(RemotingLimits::kMaxReplySize) + 64 * 1024;
// A body up to this size leaves in one write with its headers, so one segment carries a small call.
constexpr qsizetype kOneWriteBody = 64 * 1024;
// Bytes the socket holds unread; a reply's head must fit, a body streams through.
constexpr qint64 kReadBuffer = 1024 * 1024;
// One line of a reply's head, or a chunk's size line.
constexpr qint64 kMaxLine = 8 * 1024;
// What a reply's body reserves up front before it has arrived.
constexpr qsizetype kMaxReserve = 16 * 1024 * 1024;

using Clock = std::chrono::steady_clock;

enum class ReplyStage { StatusLine, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, UntilClose };

// A decimal or hexadecimal count of at most max; -1 for anything else.
qint64 ParseCount(QByteArrayView text, int base, qint64 max)
{
    if (text.isEmpty())
        return -1;
    qint64 value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return -1;
        if (value > (max - digit) / base)
            return max + 1;
        value = value * base + digit;
    }
    return value;
}

bool HasToken(QByteArrayView list, QByteArrayView token)
{
    for (qsizetype start = 0; start <= list.size();) {
        qsizetype end = list.indexOf(',', start);
        if (end < 0)
            end = list.size();
        if (list.sliced(start, end - start).trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

QString Malformed()
{
    return QStringLiteral("The server's reply is not valid HTTP");
}

QString TooLarge()
{
    return QStringLiteral("The reply is larger than %1 bytes").arg(kMaxReplyBytes);
}

} // namespace

// One call from sending to its reply: the request for resending, and the reply as it is read.
struct TROHTTPChannel::Exchange
{
    QByteArray Body;
    AsyncDone Done;
    // A synchronous call's completion runs at once; an asynchronous one's is posted, so that
    // whatever it starts runs outside the socket's signals.
    bool Waiting = false;
    int Attempt = 0;
    // Sent on a connection that carried an earlier call: the server may have closed it as idle
    // just then, so a close before any reply byte sends the request once more on a new one.
    bool Reused = false;
    bool Resent = false;
    bool ReplyStarted = false;
    // A connection stood for this attempt: from then on the server may have seen the request.
    bool Connected = false;
    Clock::time_point LastProgress;

    ReplyStage Stage = ReplyStage::StatusLine;
    int Status = 0;
    qint64 Length = -1;
    bool Chunked = false;
    bool KeepAlive = true;
    qint64 Remaining = 0;
    qint64 HeadBytes = 0;
    QByteArray Data;

    void StartReply()
    {
        ReplyStarted = false;
        Stage = ReplyStage::StatusLine;
        Status = 0;
        Length = -1;
        Chunked = false;
        KeepAlive = true;
        Remaining = 0;
        HeadBytes = 0;
        Data.clear();
    }
};

QUuid ROClientSessionID()
{
    static const QUuid id = QUuid::createUuid();
    return id;
}

TROTransportChannel::~TROTransportChannel() = default;

TROHTTPChannel::TROHTTPChannel(QObject *parent)
    : QObject(parent), m_timer(new QTimer(this)), m_sessionId(ROClientSessionID())
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TROHTTPChannel::CheckProgress);
}

TROHTTPChannel::~TROHTTPChannel()
{
    // A call still in flight ends without its completion, as the channel's owner has gone.
    if (m_socket)
        m_socket->disconnect(this);
}

int TROHTTPChannel::SynchronousCallsInProgress()
{
    return t_synchronousCalls;
}

void TROHTTPChannel::SetTargetURL(const QString &url)
{
    const QUrl target(url);
    if (target == m_url && !m_requestHead.isEmpty())
        return;
    m_url = target;
    m_requestHead.clear();
    // A call in flight keeps its connection; the next request opens one to the new address.
    m_staleConnection = true;
    if (m_url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 || m_url.host().isEmpty())
        return;
    QByteArray path = m_url.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty())
        path = "/";
    if (m_url.hasQuery())
        path += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = m_url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (m_url.port() != -1)
        host += ':' + QByteArray::number(m_url.port());
    m_requestHead = "POST " + path + " HTTP/1.1\r\nHost: " + host
                    + "\r\nContent-Type: application/octet-stream\r\nContent-Length: ";
}

void TROHTTPChannel::Post(const QByteArray &body, bool waiting, AsyncDone done)
{
    m_exchange = std::make_unique<Exchange>();
    m_exchange->Body = body;
    m_exchange->Done = std::move(done);
    m_exchange->Waiting = waiting;
    Send();
}

void TROHTTPChannel::Send()
{
    Exchange &x = *m_exchange;
    x.StartReply();
    if (m_requestHead.isEmpty()) {
        Fail(QStringLiteral("The target URL is not an http URL"));
        return;
    }
    if (m_socket
        && (m_staleConnection || m_socket->state() != QAbstractSocket::ConnectedState || m_socket->bytesAvailable() > 0))
        DropConnection();
    m_staleConnection = false;
    x.Reused = m_socket != nullptr;
    x.Connected = x.Reused;
    if (!m_socket)
        OpenConnection();

    x.LastProgress = Clock::now();
    if (m_timeout.count() > 0)
        m_timer->start(int(std::min<qint64>(m_timeout.count(), std::numeric_limits<int>::max())));
    QByteArray head;
    head.reserve(m_requestHead.size() + 24 + (x.Body.size() <= kOneWriteBody ? x.Body.size() : 0));
    head += m_requestHead;
    head += QByteArray::number(x.Body.size());
    head += "\r\n\r\n";
    if (x.Body.size() <= kOneWriteBody) {
        head += x.Body;
        m_socket->write(head);
    } else {
        m_socket->write(head);
        m_socket->write(x.Body);
    }
    // Hand the bytes to the system now rather than at the next turn of the event loop. A failure
    // here may end the call, so nothing of it is touched afterwards.
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->flush();
}

void TROHTTPChannel::OpenConnection()
{
    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(kReadBuffer);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        // Without it the last segment of a request waits for the server's delayed acknowledgement.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (m_exchange)
            m_exchange->Connected = true;
    });
    connect(m_socket, &QIODevice::readyRead, this, &TROHTTPChannel::ReadReply);
    connect(m_socket, &QIODevice::bytesWritten, this, [this] {
        if (m_exchange)
            m_exchange->LastProgress = Clock::now();
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError) { ConnectionFailed(m_socket->errorString()); });
    connect(m_socket, &QAbstractSocket::disconnected, this,
            [this] { ConnectionFailed(QStringLiteral("The server closed the connection")); });
    m_socket->connectToHost(m_url.host(), quint16(m_url.port(80)));
}

void TROHTTPChannel::DropConnection()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    // It may be the sender of the signal being handled.
    socket->deleteLater();
}

void TROHTTPChannel::ReadReply()
{
    if (!m_exchange) {
        // Bytes nobody asked for: the connection is out of step.
        DropConnection();
        return;
    }
    Exchange &x = *m_exchange;
    if (m_socket->bytesAvailable() > 0) {
        x.ReplyStarted = true;
        x.LastProgress = Clock::now();
    }
    for (;;) {
        const qint64 available = m_socket->bytesAvailable();
        if (x.Stage == ReplyStage::Body || x.Stage == ReplyStage::ChunkData) {
            if (available <= 0)
                return;
            const qint64 n = std::min(available, x.Remaining);
            const qsizetype at = x.Data.size();
            x.Data.resize(at + qsizetype(n));
            m_socket->read(x.Data.data() + at, n);
            x.Remaining -= n;
            emit ReceiveProgress(x.Data.size(), x.Stage == ReplyStage::Body ? x.Length : 0);
            if (x.Remaining > 0)
                continue;
            if (x.Stage == ReplyStage::Body) {
                FinishReply();
                return;
            }
            x.Stage = ReplyStage::ChunkEnd;
            continue;
        }
        if (x.Stage == ReplyStage::UntilClose) {
            if (available <= 0)
                return;
            if (x.Data.size() + available > kMaxReplyBytes) {
                Fail(TooLarge());
                return;
            }
            x.Data += m_socket->read(available);
            emit ReceiveProgress(x.Data.size(), 0);
            continue;
        }

        // The status line, the headers, the chunk sizes and trailers: one line at a time.
        const bool head = x.Stage == ReplyStage::StatusLine || x.Stage == ReplyStage::Headers
                          || x.Stage == ReplyStage::Trailers;
        const qint64 budget =
            std::min<qint64>(kMaxLine, head ? qint64(RemotingLimits::kMaxReplyHeadSize) - x.HeadBytes : kMaxLine);
        if (!m_socket->canReadLine()) {
            if (available > budget)
                Fail(Malformed());
            return;
        }
        char buffer[kMaxLine + 2];
        const qint64 read = m_socket->readLine(buffer, std::min<qint64>(budget + 1, qint64(sizeof buffer)));
        if (read <= 0 || buffer[read - 1] != '\n') {
            Fail(Malformed());
            return;
        }
        if (head)
            x.HeadBytes += read;
        QByteArrayView line(buffer, read - (read > 1 && buffer[read - 2] == '\r' ? 2 : 1));
        switch (x.Stage) {
        case ReplyStage::StatusLine: {
            // "HTTP/1.1 200 OK"
            if (line.size() < 12 || !line.startsWith("HTTP/1.") || line[8] != ' ') {
                Fail(Malformed());
                return;
            }
            const qint64 status = ParseCount(line.sliced(9, 3), 10, 999);
            if (status < 100 || status > 599 || (line.size() > 12 && line[12] != ' ')) {
                Fail(Malformed());
                return;
            }
            x.Status = int(status);
            x.KeepAlive = line[7] != '0';
            x.Length = -1;
            x.Chunked = false;
            x.Stage = ReplyStage::Headers;
            break;
        }
        case ReplyStage::Headers: {
            if (!line.isEmpty()) {
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0) {
                    Fail(Malformed());
                    return;
                }
                const QByteArrayView name = line.first(colon).trimmed();
                const QByteArrayView value = line.sliced(colon + 1).trimmed();
                if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
                    const qint64 length = ParseCount(value, 10, std::numeric_limits<qint64>::max() / 16);
                    if (length < 0 || (x.Length >= 0 && x.Length != length)) {
                        Fail(Malformed());
                        return;
                    }
                    x.Length = length;
                } else if (name.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0) {
                    x.Chunked = HasToken(value, "chunked");
                } else if (name.compare("Connection", Qt::CaseInsensitive) == 0) {
                    if (HasToken(value, "close"))
                        x.KeepAlive = false;
                    else if (HasToken(value, "keep-alive"))
                        x.KeepAlive = true;
                }
                break;
            }
            if (x.Status < 200) {
                // An interim answer ("100 Continue"): the real one follows.
                x.Stage = ReplyStage::StatusLine;
                break;
            }
            if (x.Status == 204 || x.Status == 304) {
                FinishReply();
                return;
            }
            if (x.Chunked) {
                x.Stage = ReplyStage::ChunkSize;
            } else if (x.Length >= 0) {
                if (x.Length > kMaxReplyBytes) {
                    Fail(TooLarge());
                    return;
                }
                if (x.Length == 0) {
                    FinishReply();
                    return;
                }
                x.Data.reserve(qsizetype(std::min<qint64>(x.Length, kMaxReserve)));
                x.Remaining = x.Length;
                x.Stage = ReplyStage::Body;
            } else {
                // Neither length nor chunks: the body ends where the server closes.
                x.KeepAlive = false;
                x.Stage = ReplyStage::UntilClose;
            }
            break;
        }
        case ReplyStage::ChunkSize: {
            const qsizetype extension = line.indexOf(';');
            const qint64 size =
                ParseCount(line.first(extension < 0 ? line.size() : extension).trimmed(), 16, kMaxReplyBytes);
            if (size < 0) {
                Fail(Malformed());
                return;
            }
            if (x.Data.size() + size > kMaxReplyBytes) {
                Fail(TooLarge());
                return;
            }
            x.Remaining = size;
            x.Stage = size == 0 ? ReplyStage::Trailers : ReplyStage::ChunkData;
            break;
        }
        case ReplyStage::ChunkEnd:
            if (!line.isEmpty()) {
                Fail(Malformed());
                return;
            }
            x.Stage = ReplyStage::ChunkSize;
            break;
        case ReplyStage::Trailers:
            if (line.isEmpty()) {
                FinishReply();
                return;
            }
            break;
        case ReplyStage::Body:
        case ReplyStage::ChunkData:
        case ReplyStage::UntilClose:
            break;
        }
    }
}

void TROHTTPChannel::FinishReply()
{
    Exchange &x = *m_exchange;
    if (!x.KeepAlive || m_socket->bytesAvailable() > 0)
        DropConnection();
    if (x.Status != 200) {
        Fail(QStringLiteral("The server answered HTTP %1").arg(x.Status));
        return;
    }
    Complete(std::exchange(x.Data, QByteArray()), QString());
}

void TROHTTPChannel::ConnectionFailed(const QString &error)
{
    if (!m_exchange) {
        // The server closed an idle connection.
        DropConnection();
        return;
    }
    // What arrived before the close is still to be read.
    QTcpSocket *const socket = m_socket;
    if (socket->bytesAvailable() > 0) {
        ReadReply();
        if (!m_exchange || m_socket != socket)
            return;
    }
    Exchange &x = *m_exchange;
    if (x.Stage == ReplyStage::UntilClose) {
        FinishReply();
        return;
    }
    if (x.Reused && !x.ReplyStarted && !x.Resent) {
        x.Resent = true;
        DropConnection();
        Send();
        return;
    }
    Fail(error);
}

void TROHTTPChannel::CheckProgress()
{
    if (!m_exchange || m_timeout.count() <= 0)
        return;
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_exchange->LastProgress);
    if (idle >= m_timeout) {
        Fail(QStringLiteral("No reply from the server for %1 ms").arg(m_timeout.count()));
        return;
    }
    m_timer->start(int(std::min<qint64>((m_timeout - idle).count(), std::numeric_limits<int>::max())));
}

void TROHTTPChannel::Fail(const QString &error)
{
    DropConnection();
    Exchange &x = *m_exchange;
    const QString text = QStringLiteral("%1 (%2)").arg(error, m_url.toString());
    const TROCallFailure failure{text, x.Attempt, x.Connected};
    if (x.Attempt < RemotingLimits::kMaxCallRetries && m_failureHandler && m_failureHandler(failure)) {
        ++x.Attempt;
        x.Resent = false;
        Send();
        return;
    }
    Complete(QByteArray(), text);
}

void TROHTTPChannel::Complete(const QByteArray &data, const QString &error)
{
    m_timer->stop();
    const std::unique_ptr<Exchange> x = std::move(m_exchange);
    if (x->Waiting) {
        x->Done(data, error);
        return;
    }
    QMetaObject::invokeMethod(
        this, [done = std::move(x->Done), data, error] { done(data, error); }, Qt::QueuedConnection);
}

QByteArray TROHTTPChannel::SendAndWait(const QByteArray &body)
{
    m_busy = true;
    ++t_synchronousCalls;
    bool finished = false;
    QByteArray reply;
    QString error;
    QEventLoop loop;
    Post(body, true, [&](const QByteArray &data, const QString &failure) {
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
    return reply;
}

void TROHTTPChannel::Dispatch(TROMessage &message)
{
    if (m_busy)
        throw EROChannelBusy(QStringLiteral("The channel is busy with another call"));
    message.SetClientID(m_sessionId);
    const QByteArray body = message.SaveToBytes(RemotingLimits::kMaxRequestSize);

    // A refused session may log on again once; the server did nothing with the refused call.
    for (bool mayLogOnAgain = bool(m_sessionLostHandler);; mayLogOnAgain = false) {
        const QByteArray reply = SendAndWait(body);
        if (reply.isEmpty()) {
            // A one-way call: nothing comes back.
            message.ClearValues();
            return;
        }
        message.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
        try {
            message.RaiseIfError();
            return;
        } catch (const EROServerError &refusal) {
            if (!mayLogOnAgain || refusal.ClassName() != SessionNotLoggedOn || !m_sessionLostHandler(refusal.Message()))
                throw;
        }
    }
}

void TROHTTPChannel::DispatchAsync(const TROMessage &message, AsyncDone done)
{
    if (m_busy)
        throw EROChannelBusy(QStringLiteral("The channel is busy with another call"));
    TROMessage stamped = message;
    stamped.SetClientID(m_sessionId);
    const QByteArray body = stamped.SaveToBytes(RemotingLimits::kMaxRequestSize);
    m_busy = true;
    PostAsync(body, bool(m_sessionLostHandler), std::move(done));
}

void TROHTTPChannel::PostAsync(const QByteArray &body, bool mayLogOnAgain, AsyncDone done)
{
    Post(body, false, [this, body, mayLogOnAgain, done = std::move(done)](const QByteArray &data, const QString &error) {
        // As a synchronous call: a refused session may log on again once, and the refused call
        // did nothing at the server, so it goes once more. The channel stays busy meanwhile.
        if (mayLogOnAgain && error.isEmpty() && m_sessionLostHandler) {
            const std::optional<QString> refusal = SessionRefusal(data);
            if (refusal && m_sessionLostHandler(*refusal)) {
                PostAsync(body, false, done);
                return;
            }
        }
        m_busy = false;
        done(data, error);
    });
}

std::optional<QString> TROHTTPChannel::SessionRefusal(const QByteArray &reply)
{
    if (!TROMessage::IsErrorMessage(reply))
        return {};
    try {
        TROMessage answer;
        answer.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
        answer.RaiseIfError();
    } catch (const EROServerError &refusal) {
        if (refusal.ClassName() == SessionNotLoggedOn)
            return refusal.Message();
    } catch (const EROException &) {
        // Not a refusal of the session: the caller reads the reply and tells its fault.
    }
    return {};
}
