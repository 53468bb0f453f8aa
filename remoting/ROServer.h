// The server end: the dispatcher that turns one request message into one reply (or an error
// reply, or nothing for a one-way call) without ever letting an exception out, and the HTTP
// server that feeds it: connections are held by one listener thread until a request has fully
// arrived (ROHTTPListener.h), then cpp-httplib parses and answers it on a pool thread. The poll
// operation is answered here from the event repository: it creates no service object.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>

class TROInMemorySessionManager;
class TROInMemoryEventRepository;
class TROMessageWriter;
class TROSession;

// Asked before a service object is made, with the service's name and the calling session; it
// refuses the call by throwing (an EROException reaches the client with its class and text).
using ROSessionCheck = std::function<void(const QString &service, const TROSession &session)>;

// Told of an error that escaped the session check or an operation (other than the framework's
// own EROException): it writes what the log is to have (alreadyLogged: the work wrote a Warning
// or Severe line of its own) and answers the text the client gets.
using ROFailureReport = std::function<QString(const QString &service, const QString &operation, const std::exception &error,
                                              bool alreadyLogged)>;

class REMOTING_EXPORT TROMessageDispatcher
{
public:
    struct Reply
    {
        QByteArray Data;  // empty for a one-way call, and for a reply written by Streamed
        bool IsError = false;
        // A reply that carries files: written in pieces, each file read from disk as it goes.
        std::shared_ptr<TROMessageWriter> Streamed = nullptr;
    };

    // Either may be null: then sessions are not tracked, or polls answer no events. Both must
    // outlive the dispatcher (for the HTTP server: until SetActive(false)).
    TROMessageDispatcher(TROInMemorySessionManager *sessions, TROInMemoryEventRepository *repository);

    Reply Process(const QByteArray &request) const;
    void SetSessionCheck(ROSessionCheck check) { m_sessionCheck = std::move(check); }
    void SetFailureReport(ROFailureReport report) { m_failureReport = std::move(report); }

private:
    TROInMemorySessionManager *m_sessions;
    TROInMemoryEventRepository *m_repository;
    ROSessionCheck m_sessionCheck;
    ROFailureReport m_failureReport;
};

class REMOTING_EXPORT TROHTTPServer
{
public:
    TROHTTPServer();
    ~TROHTTPServer();
    TROHTTPServer(const TROHTTPServer &) = delete;
    TROHTTPServer &operator=(const TROHTTPServer &) = delete;

    // 0 takes any free port; Port() then answers the one taken once active.
    void SetPort(int port);
    int Port() const { return m_port; }
    void SetBindAddress(const QString &address) { m_bindAddress = address; }
    void SetPoolSize(int threads) { m_poolSize = threads; }
    void SetKeepAliveTimeout(std::chrono::milliseconds timeout) { m_keepAlive = timeout; }
    // How long a request's headers and its body may take to arrive (the body's bound grows with
    // its size); the defaults are RemotingLimits::kHeaderTimeout and kBodyTimeout.
    void SetRequestTimeouts(std::chrono::milliseconds header, std::chrono::milliseconds body)
    {
        m_headerTimeout = header;
        m_bodyTimeout = body;
    }
    // How long one database statement of a request may run; the default is
    // RemotingLimits::kStatementTimeLimit.
    void SetStatementTimeLimit(std::chrono::milliseconds limit) { m_statementLimit = limit; }
    // Paths are matched without regard to case and without the leading slash ("Bin").
    void AddDispatcher(const QString &path);
    void SetSessionManager(TROInMemorySessionManager *sessions) { m_sessions = sessions; }
    void SetEventRepository(TROInMemoryEventRepository *repository) { m_repository = repository; }
    // Take effect at the next SetActive(true).
    void SetSessionCheck(ROSessionCheck check) { m_sessionCheck = std::move(check); }
    void SetFailureReport(ROFailureReport report) { m_failureReport = std::move(report); }

    // Throws EROTransportError when the port cannot be bound. Off waits for the requests in service.
    void SetActive(bool active);
    // Off, waiting at most that long for the requests in service. False when some still ran: they
    // run on, and the server and whatever they use (sessions, repository, services' data) must
    // outlive them, so the process is to end without freeing those.
    bool Stop(std::chrono::milliseconds wait);
    bool Active() const { return m_impl != nullptr; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_port = 8099;
    QString m_bindAddress = QStringLiteral("0.0.0.0");
    int m_poolSize = RemotingLimits::kDefaultPoolSize;
    std::chrono::milliseconds m_keepAlive = RemotingLimits::kKeepAliveTimeout;
    std::chrono::milliseconds m_headerTimeout = RemotingLimits::kHeaderTimeout;
    std::chrono::milliseconds m_bodyTimeout = RemotingLimits::kBodyTimeout;
    std::chrono::milliseconds m_statementLimit = RemotingLimits::kStatementTimeLimit;
    QStringList m_paths;
    TROInMemorySessionManager *m_sessions = nullptr;
    TROInMemoryEventRepository *m_repository = nullptr;
    ROSessionCheck m_sessionCheck;
    ROFailureReport m_failureReport;
};
