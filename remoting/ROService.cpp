#include "remoting/ROService.h"

#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"

namespace {

thread_local QString t_peerAddress;

} // namespace

QString ROPeerAddress()
{
    return t_peerAddress;
}

TROPeerAddressScope::TROPeerAddressScope(const QString &address) : m_previous(t_peerAddress)
{
    t_peerAddress = address;
}

TROPeerAddressScope::~TROPeerAddressScope()
{
    t_peerAddress = m_previous;
}

TRORemotable::~TRORemotable() = default;

void TRORemotable::SetCallContext(std::shared_ptr<TROSession> session, TROInMemoryEventRepository *repository)
{
    m_session = std::move(session);
    m_repository = repository;
}

TROInvoker::~TROInvoker() = default;

void TROInvoker::RegisterOperation(const QString &operation, ROInvokeFunction function)
{
    m_operations.insert(operation, std::move(function));
}

void TROInvoker::HandleMessage(TRORemotable &instance, TROMessage &message, TROResponseOptions &options) const
{
    const auto it = m_operations.constFind(message.MessageName());
    if (it == m_operations.constEnd())
        throw EROUnknownOperation(message.InterfaceName(), message.MessageName());
    it.value()(instance, message, options);
}

TROClassFactory::TROClassFactory(const QString &serviceName, Creator creator, std::shared_ptr<const TROInvoker> invoker)
    : m_serviceName(serviceName), m_creator(std::move(creator)), m_invoker(std::move(invoker))
{
}
