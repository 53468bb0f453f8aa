#include "remoting/ROServer.h"

#include "remoting/ROErrors.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"
#include "remoting/ROService.h"
#include "remoting/ROSessionManager.h"

#include <httplib.h>

namespace {

QByteArray ErrorReply(const TROMessage &request, const QString &className, const QString &text)
{
    TROMessage error;
    error.SetClientID(request.ClientID());
    error.InitializeError(request.LibraryName(), request.InterfaceName(), request.MessageName(), className, text);
    return error.SaveToBytes(RemotingLimits::kMaxReplySize);
}

} // namespace

TROMessageDispatcher::TROMessageDispatcher(TROInMemorySessionManager *sessions, TROInMemoryEventRepository *repository)
    : m_sessions(sessions), m_repository(repository)
{
}

TROMessageDispatcher::Reply TROMessageDispatcher::Process(const QByteArray &request) const
{
    TROMessage message;
    try {
        message.LoadFromBytes(request, RemotingLimits::kMaxRequestSize);
        if (message.Kind() != ROMessageKind::Request)
            throw EROMessageError(QStringLiteral("Only requests are served"));

        std::shared_ptr<TROSession> session;
        if (m_sessions)
            m_sessions->Sweep();
        if (m_sessions && !message.ClientID().isNull())
            session = m_sessions->Touch(message.ClientID());
        else
            // No client has the all-zero id: such a request gets a session of its own for this call only.
            session = std::make_shared<TROSession>(QUuid());
        const QString operation = message.MessageName();

        if (operation == TROInMemoryEventRepository::PollOperation) {
            std::vector<ROValue> events;
            if (m_repository)
                for (const QByteArray &event : m_repository->GetEventData(message.ClientID()))
                    events.push_back(ROValue::FromBinary(event));
            message.InitializeResponse(message.LibraryName(), message.InterfaceName(), operation);
            message.WriteValue(TROInMemoryEventRepository::PollEventsValue,
                               ROValue::FromArray(QStringLiteral("Binary"), std::move(events)));
            return {message.SaveToBytes(RemotingLimits::kMaxReplySize), false};
        }

        const std::shared_ptr<TROClassFactory> factory = FindClassFactory(message.InterfaceName());
        if (!factory)
            throw EROUnknownService(message.InterfaceName());
        const TROInvoker &invoker = factory->Invoker();
        if (!invoker.HasOperation(operation))
            throw EROUnknownOperation(message.InterfaceName(), operation);
        if (m_sessionCheck)
            m_sessionCheck(message.InterfaceName(), *session);

        const QString library = message.LibraryName();
        const QString service = message.InterfaceName();
        TROResponseOptions options;
        {
            // The service object lives for this one request.
            std::unique_ptr<TRORemotable> instance = factory->CreateInstance();
            instance->SetCallContext(session, m_repository);
            invoker.HandleMessage(*instance, message, options);
        }
        if (options.NoResponse)
            return {QByteArray(), false};
        if (message.Kind() != ROMessageKind::Response) {
            // Keep the names of the request for the error reply.
            message.InitializeRequest(library, service, operation);
            throw EROMessageError(QStringLiteral("The operation \"%1\" wrote no response").arg(operation));
        }
        return {message.SaveToBytes(RemotingLimits::kMaxReplySize), false};
    } catch (const EROException &e) {
        return {ErrorReply(message, e.ClassName(), e.Message()), true};
    } catch (const std::exception &e) {
        return {ErrorReply(message, QStringLiteral("Exception"), QString::fromLocal8Bit(e.what())), true};
    } catch (...) {
        return {ErrorReply(message, QStringLiteral("Exception"), QStringLiteral("Unknown error")), true};
    }
}

struct TROHTTPServer::Impl
{
    httplib::Server Server;
};

TROHTTPServer::TROHTTPServer() = default;

TROHTTPServer::~TROHTTPServer()
{
    SetActive(false);
}

void TROHTTPServer::SetPort(int port)
{
    m_port = port;
}

void TROHTTPServer::AddDispatcher(const QString &path)
{
    QString p = path;
    while (p.startsWith(QLatin1Char('/')))
        p.remove(0, 1);
    m_paths.append(p.toLower());
}

void TROHTTPServer::SetActive(bool active)
{
    if (active == Active())
        return;
    if (!active) {
        m_impl->Server.stop();
        m_thread.join();
        m_impl.reset();
        return;
    }

    m_impl = std::make_unique<Impl>();
    httplib::Server &server = m_impl->Server;
    const int poolSize = std::max(1, m_poolSize);
    server.new_task_queue = [poolSize] { return new httplib::ThreadPool(std::size_t(poolSize)); };
    // Without no-delay every small reply waits for the peer's delayed acknowledgement.
    server.set_tcp_nodelay(true);
    // The library's default adds SO_REUSEPORT, which lets a second server share the port
    // unnoticed; a port in use must make the start fail instead.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_payload_max_length(RemotingLimits::kMaxRequestSize + 64 * 1024);
    server.set_keep_alive_timeout(m_keepAlive.count());
    server.set_keep_alive_max_count(RemotingLimits::kKeepAliveMaxRequests);
    server.set_read_timeout(RemotingLimits::kReadTimeout.count(), 0);
    server.set_write_timeout(RemotingLimits::kWriteTimeout.count(), 0);

    const QStringList paths = m_paths.isEmpty() ? QStringList{QStringLiteral("bin")} : m_paths;
    TROMessageDispatcher dispatcher(m_sessions, m_repository);
    dispatcher.SetSessionCheck(m_sessionCheck);
    server.Post(".*", [paths, dispatcher](const httplib::Request &req, httplib::Response &res) {
        QString path = QString::fromStdString(req.path);
        while (path.startsWith(QLatin1Char('/')))
            path.remove(0, 1);
        if (!paths.contains(path.toLower())) {
            res.status = 404;
            return;
        }
        const TROPeerAddressScope peer(QString::fromStdString(req.remote_addr));
        const TROMessageDispatcher::Reply reply =
            dispatcher.Process(QByteArray::fromRawData(req.body.data(), qsizetype(req.body.size())));
        res.status = 200;
        res.set_content(std::string(reply.Data.constData(), std::size_t(reply.Data.size())), "application/octet-stream");
    });

    const std::string host = m_bindAddress.toStdString();
    if (m_port == 0) {
        const int port = server.bind_to_any_port(host);
        if (port < 0) {
            m_impl.reset();
            throw EROTransportError(QStringLiteral("No free port to listen on at %1").arg(m_bindAddress));
        }
        m_port = port;
    } else if (!server.bind_to_port(host, m_port)) {
        m_impl.reset();
        throw EROTransportError(QStringLiteral("Cannot listen on %1:%2").arg(m_bindAddress).arg(m_port));
    }
    m_thread = std::thread([this] { m_impl->Server.listen_after_bind(); });
    for (int waited = 0; !m_impl->Server.is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
