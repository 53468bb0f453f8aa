// The client end of a call: a transport channel that posts a message to the server's URL and
// leaves the reply in the same message. A synchronous call waits in a local event loop that
// lets no user input through; a channel carries one call at a time and refuses a second.
// Everything runs on the thread that owns the channel: the channel speaks HTTP/1.1 itself over
// one kept-alive socket of that thread, so a call costs no hop to another thread.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;
class QTimer;
class TROMessage;

// The session GUID this program sends on every channel: made once at start.
REMOTING_EXPORT QUuid ROClientSessionID();

class REMOTING_EXPORT TROTransportChannel
{
public:
    // reply is the server's body (empty for a one-way call); error is empty on success.
    using AsyncDone = std::function<void(const QByteArray &reply, const QString &error)>;

    virtual ~TROTransportChannel();
    // Sends the request, waits, and leaves the reply in message. Raises EROTransportError,
    // EROChannelBusy, EROMessageError for a bad reply, and EROServerError for an error reply.
    virtual void Dispatch(TROMessage &message) = 0;
    // Sends without waiting; done runs later on the channel's thread. EROChannelBusy when busy.
    virtual void DispatchAsync(const TROMessage &message, AsyncDone done) = 0;
    virtual bool Busy() const = 0;
};

// What a channel knows of a call that failed, for its failure handler.
struct TROCallFailure
{
    QString Error;
    // How often this call failed before (0 at its first failure).
    int Attempt = 0;
    // False only when no connection was made, so the server cannot have seen the request.
    bool MayHaveReachedServer = true;
};

class REMOTING_EXPORT TROHTTPChannel : public QObject, public TROTransportChannel
{
    Q_OBJECT
public:
    // Decides whether a failed call is sent again.
    using FailureHandler = std::function<bool(const TROCallFailure &failure)>;
    // Asked when the server refuses a call because the session is not logged on (error: its
    // text); true once the session is logged on again, and the call is sent once more.
    using SessionLostHandler = std::function<bool(const QString &error)>;

    // The class name of the server's refusal of a call from a session that has not logged on
    // (or that the server no longer knows, after its restart).
    static inline const QString SessionNotLoggedOn = QStringLiteral("EROSessionNotLoggedOn");

    explicit TROHTTPChannel(QObject *parent = nullptr);
    ~TROHTTPChannel() override;

    QString TargetURL() const { return m_url.toString(); }
    void SetTargetURL(const QString &url);
    QUuid SessionID() const { return m_sessionId; }
    void SetSessionID(const QUuid &id) { m_sessionId = id; }
    // A call fails when no byte moves for this long; zero waits without end.
    std::chrono::milliseconds Timeout() const { return m_timeout; }
    void SetTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    void SetFailureHandler(FailureHandler handler) { m_failureHandler = std::move(handler); }
    void SetSessionLostHandler(SessionLostHandler handler) { m_sessionLostHandler = std::move(handler); }

    void Dispatch(TROMessage &message) override;
    void DispatchAsync(const TROMessage &message, AsyncDone done) override;
    bool Busy() const override { return m_busy; }

    // How many synchronous calls of this thread are waiting now; event deliveries hold back meanwhile.
    static int SynchronousCallsInProgress();

signals:
    // Bytes of the reply received so far; total is 0 or less while the size is unknown.
    void ReceiveProgress(qint64 received, qint64 total);

private:
    struct Exchange;

    void Post(const QByteArray &body, bool waiting, AsyncDone done);
    void PostAsync(const QByteArray &body, bool mayLogOnAgain, AsyncDone done);
    // The text of a reply that refuses the session as not logged on; nothing for any other reply.
    static std::optional<QString> SessionRefusal(const QByteArray &reply);
    void Send();
    void OpenConnection();
    void DropConnection();
    void ReadReply();
    void FinishReply();
    void ConnectionFailed(const QString &error);
    void CheckProgress();
    void Fail(const QString &error);
    void Complete(const QByteArray &data, const QString &error);

    QUrl m_url;
    // The request line and the fixed headers, made when the URL is set.
    QByteArray m_requestHead;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_timer;
    std::unique_ptr<Exchange> m_exchange;
    // The target changed since the connection was opened.
    bool m_staleConnection = false;
    QUuid m_sessionId;
    std::chrono::milliseconds m_timeout = RemotingLimits::kDefaultCallTimeout;
    // The reply to one synchronous request; raises the transport's failure.
    QByteArray SendAndWait(const QByteArray &body);

    FailureHandler m_failureHandler;
    SessionLostHandler m_sessionLostHandler;
    bool m_busy = false;
};
