#include "remoting/ROServer.h"

#include "remoting/ROErrors.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROHTTPListener.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"
#include "remoting/ROService.h"
#include "remoting/ROSessionManager.h"

#include "foundation/MemoryBudget.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/RequestScope.h"

#include <httplib.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

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
        // Requests are read against the process-wide budget, so many at once stay bounded too.
        message.LoadFromBytes(request, RemotingLimits::kMaxRequestSize, &PeerDataBudget());
        if (message.Kind() != ROMessageKind::Request)
            throw EROMessageError(QStringLiteral("Only requests are served"));

        if (m_sessions)
            m_sessions->Sweep();
        // No client has the all-zero id: such a request is served with a session of its own
        // that ends with it.
        const bool ownSession = !m_sessions || message.ClientID().isNull();
        const QString operation = message.MessageName();

        if (operation == TROInMemoryEventRepository::PollOperation) {
            // A poll keeps its session alive but makes none: only a served request does. A
            // session the server lost (its restart) is refused as any call is, so that a client
            // that only polls learns it and logs on again instead of waiting for nothing.
            std::vector<ROValue> events;
            const std::shared_ptr<TROSession> known = ownSession ? nullptr : m_sessions->TouchKnown(message.ClientID());
            if (m_sessionCheck && !ownSession) {
                const TROSession unknown(message.ClientID());
                m_sessionCheck(message.InterfaceName(), known ? *known : unknown);
            }
            if (known && m_repository)
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
        std::shared_ptr<TROSession> session = ownSession ? nullptr : m_sessions->TouchKnown(message.ClientID());
        const bool newSession = !ownSession && !session;
        if (!session)
            session = std::make_shared<TROSession>(ownSession ? QUuid() : message.ClientID());

        const QString library = message.LibraryName();
        const QString service = message.InterfaceName();
        TROResponseOptions options;
        const unsigned long long loggedBefore = ErrorEntriesOfThisThread();
        try {
            if (m_sessionCheck)
                m_sessionCheck(service, *session);
            // The request is served: now a new client gets its session.
            if (newSession)
                session = m_sessions->Touch(message.ClientID());
            // The service object lives for this one request.
            std::unique_ptr<TRORemotable> instance = factory->CreateInstance();
            instance->SetCallContext(session, m_repository);
            invoker.HandleMessage(*instance, message, options);
        } catch (const EROException &) {
            throw;
        } catch (const std::exception &e) {
            if (!m_failureReport)
                throw;
            const QString text = m_failureReport(service, operation, e, ErrorEntriesOfThisThread() != loggedBefore);
            message.InitializeRequest(library, service, operation);
            return {ErrorReply(message, QStringLiteral("Exception"), text), true};
        }
        if (options.NoResponse)
            return {QByteArray(), false};
        if (message.Kind() != ROMessageKind::Response) {
            // Keep the names of the request for the error reply.
            message.InitializeRequest(library, service, operation);
            throw EROMessageError(QStringLiteral("The operation \"%1\" wrote no response").arg(operation));
        }
        if (message.HoldsFiles())
            return {QByteArray(), false, std::make_shared<TROMessageWriter>(message, RemotingLimits::kMaxReplySize)};
        return {message.SaveToBytes(RemotingLimits::kMaxReplySize), false};
    } catch (const EROException &e) {
        return {ErrorReply(message, e.ClassName(), e.Message()), true};
    } catch (const std::exception &e) {
        return {ErrorReply(message, QStringLiteral("Exception"), QString::fromLocal8Bit(e.what())), true};
    } catch (...) {
        return {ErrorReply(message, QStringLiteral("Exception"), QStringLiteral("Unknown error")), true};
    }
}

namespace {

const std::string kContentType = "application/octet-stream";

// cpp-httplib's request processing, served from the listener's streams.
class RequestServer : public httplib::Server
{
public:
    ~RequestServer() override { MarkStopped(); }

    bool Serve(httplib::Stream &stream, bool closeConnection, bool &connectionClosed)
    {
        return process_request(stream, closeConnection, connectionClosed, nullptr);
    }

    // cpp-httplib writes a reply from a content provider only while its server's socket is open
    // (a closed one means it is shutting down). Requests come from the listener, so the socket
    // is one of its own that listens nowhere; closed at the stop, it ends the replies in progress.
    void MarkRunning()
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            throw EROTransportError(QStringLiteral("The HTTP server cannot start: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        svr_sock_ = fd;
    }
    void MarkStopped()
    {
        const auto fd = svr_sock_.exchange(INVALID_SOCKET);
        if (fd != INVALID_SOCKET)
            ::close(fd);
    }
};

// Writes a reply that carries files piece by piece as cpp-httplib asks for them.
void SetStreamedContent(httplib::Response &res, std::shared_ptr<TROMessageWriter> writer)
{
    const std::size_t length = writer->Length();
    auto piece = std::make_shared<QByteArray>();
    res.set_content_provider(length, kContentType, [writer, piece](std::size_t, std::size_t, httplib::DataSink &sink) {
        try {
            return writer->Next(*piece) && sink.write(piece->constData(), std::size_t(piece->size()));
        } catch (const std::exception &e) {
            // The client sees the connection end before the reply did.
            AddToLog(llSevere, QStringLiteral("HTTPServer"), QStringLiteral("Reply"), QString::fromLocal8Bit(e.what()));
            return false;
        }
    });
}

} // namespace

struct TROHTTPServer::Impl
{
    RequestServer Server;
    std::unique_ptr<TROHTTPListener> Listener;
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

bool TROHTTPServer::Stop(std::chrono::milliseconds wait)
{
    if (!m_impl)
        return true;
    m_impl->Server.MarkStopped();
    if (!m_impl->Listener->Stop(wait)) {
        // Its requests still run in it: it is kept, reachable and never freed.
        static std::mutex keptMutex;
        static auto *kept = new std::vector<Impl *>;
        std::lock_guard lock(keptMutex);
        kept->push_back(m_impl.release());
        return false;
    }
    m_impl.reset();
    return true;
}

void TROHTTPServer::SetActive(bool active)
{
    if (active == Active())
        return;
    if (!active) {
        Stop(std::chrono::milliseconds::max());
        return;
    }

    auto impl = std::make_unique<Impl>();
    RequestServer &server = impl->Server;
    server.MarkRunning();
    // The listener has checked the size already; this is the second line of defence.
    server.set_payload_max_length(RemotingLimits::kMaxRequestBody);

    const QStringList paths = m_paths.isEmpty() ? QStringList{QStringLiteral("bin")} : m_paths;
    TROMessageDispatcher dispatcher(m_sessions, m_repository);
    dispatcher.SetSessionCheck(m_sessionCheck);
    dispatcher.SetFailureReport(m_failureReport);
    server.Post(".*", [paths, dispatcher, limit = m_statementLimit](const httplib::Request &req, httplib::Response &res) {
        QString path = QString::fromStdString(req.path);
        while (path.startsWith(QLatin1Char('/')))
            path.remove(0, 1);
        if (!paths.contains(path.toLower())) {
            res.status = 404;
            return;
        }
        const TROPeerAddressScope peer(QString::fromStdString(req.remote_addr));
        const QorRequest::TStatementLimitScope statements(limit);
        const TROMessageDispatcher::Reply reply =
            dispatcher.Process(QByteArray::fromRawData(req.body.data(), qsizetype(req.body.size())));
        const std::size_t replySize = reply.Streamed ? reply.Streamed->Length() : std::size_t(reply.Data.size());
        if (req.body.size() >= ProcessMemory::kReturnAfterBytes || replySize >= ProcessMemory::kReturnAfterBytes)
            ProcessMemory::MarkRequestLarge();
        res.status = 200;
        if (reply.Streamed) {
            SetStreamedContent(res, reply.Streamed);
            return;
        }
        // One copy, freed with the reply; the message is freed as the handler returns.
        res.set_content(std::string(reply.Data.constData(), std::size_t(reply.Data.size())), kContentType);
    });

    ROListenerOptions options;
    options.Host = m_bindAddress.toStdString();
    options.Port = m_port;
    options.PoolSize = m_poolSize;
    options.KeepAliveTimeout = m_keepAlive;
    options.HeaderTimeout = m_headerTimeout;
    options.BodyTimeout = m_bodyTimeout;
    impl->Listener = std::make_unique<TROHTTPListener>(
        options, [&server](httplib::Stream &stream, bool closeConnection, bool &connectionClosed) {
            // Until the reply is written and its request and reply are freed.
            const ProcessMemory::TRequestScope served;
            return server.Serve(stream, closeConnection, connectionClosed);
        });
    m_port = impl->Listener->Listen();
    impl->Listener->Start();
    m_impl = std::move(impl);
}
