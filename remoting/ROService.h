// Server side of a call: the base of every service object (with the calling session and the
// server's event repository), the invoker base that maps operation names to invoke functions,
// and the class factory that makes one new service object per request.
#pragma once

#include "remoting/RemotingExport.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

class TROMessage;
class TROSession;
class TROInMemoryEventRepository;

class REMOTING_EXPORT TRORemotable
{
public:
    virtual ~TRORemotable();

    // The session of the client that made the current request; null outside a request.
    std::shared_ptr<TROSession> Session() const { return m_session; }
    // The server's event repository, or null when the server has none.
    TROInMemoryEventRepository *GetEventRepository() const { return m_repository; }

    // Set by the framework before the invoke function runs.
    void SetCallContext(std::shared_ptr<TROSession> session, TROInMemoryEventRepository *repository);

private:
    std::shared_ptr<TROSession> m_session;
    TROInMemoryEventRepository *m_repository = nullptr;
};

// The network address of the client whose request this thread serves ("127.0.0.1"); empty
// outside a request that came over the network.
REMOTING_EXPORT QString ROPeerAddress();

// Names the peer of the request this thread serves, for as long as it lives.
class REMOTING_EXPORT TROPeerAddressScope
{
public:
    explicit TROPeerAddressScope(const QString &address);
    ~TROPeerAddressScope();
    TROPeerAddressScope(const TROPeerAddressScope &) = delete;
    TROPeerAddressScope &operator=(const TROPeerAddressScope &) = delete;

private:
    QString m_previous;
};

// The service objects with a data module; same framework behaviour.
class REMOTING_EXPORT TRORemoteDataModule : public TRORemotable
{
};

struct TROResponseOptions
{
    // A one-way operation: the framework sends an empty reply.
    bool NoResponse = false;
};

using ROInvokeFunction = std::function<void(TRORemotable &instance, TROMessage &message, TROResponseOptions &options)>;

// Invoker classes register one function per operation in their constructor; afterwards the
// table is only read, so one invoker serves every request thread.
class REMOTING_EXPORT TROInvoker
{
public:
    virtual ~TROInvoker();

    bool HasOperation(const QString &operation) const { return m_operations.contains(operation); }
    // Runs the operation named by the message; EROUnknownOperation when there is none.
    virtual void HandleMessage(TRORemotable &instance, TROMessage &message, TROResponseOptions &options) const;

protected:
    void RegisterOperation(const QString &operation, ROInvokeFunction function);

private:
    QHash<QString, ROInvokeFunction> m_operations;
};

class REMOTING_EXPORT TROClassFactory
{
public:
    using Creator = std::function<std::unique_ptr<TRORemotable>()>;

    TROClassFactory(const QString &serviceName, Creator creator, std::shared_ptr<const TROInvoker> invoker);

    QString ServiceName() const { return m_serviceName; }
    std::unique_ptr<TRORemotable> CreateInstance() const { return m_creator(); }
    const TROInvoker &Invoker() const { return *m_invoker; }

private:
    QString m_serviceName;
    Creator m_creator;
    std::shared_ptr<const TROInvoker> m_invoker;
};
