#include "remoting/ROProxy.h"

#include "remoting/ROErrors.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"

TROProxy::TROProxy(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
    : m_message(std::move(message)), m_channel(std::move(channel))
{
}

TROProxy::~TROProxy() = default;

TROMessage &TROProxy::BeginRequest(const QString &library, const QString &operation)
{
    m_message->InitializeRequest(library, GetInterfaceName(), operation);
    return *m_message;
}

void TROProxy::Dispatch()
{
    m_message->Finalize();
    m_channel->Dispatch(*m_message);
}

void TROProxy::EndCall()
{
    m_message->ClearValues();
}

TROAsyncProxy::TROAsyncProxy(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
    : m_message(std::move(message)), m_state(std::make_shared<State>())
{
    m_state->Channel = std::move(channel);
}

TROAsyncProxy::~TROAsyncProxy() = default;

TROMessage &TROAsyncProxy::BeginRequest(const QString &library, const QString &operation)
{
    m_message->InitializeRequest(library, GetInterfaceName(), operation);
    return *m_message;
}

void TROAsyncProxy::AssertProxyNotBusy(const QString &operation) const
{
    if (m_state->Busy)
        throw EROChannelBusy(QStringLiteral("The proxy is busy; \"%1\" cannot be sent now").arg(operation));
}

void TROAsyncProxy::DispatchAsyncRequest(const QString &operation, bool expectAnswer)
{
    AssertProxyNotBusy(operation);
    m_message->Finalize();
    const std::shared_ptr<State> state = m_state;
    state->Busy = true;
    if (expectAnswer) {
        state->AnswerReceived = false;
        state->Answers.remove(operation);
    }
    try {
        state->Channel->DispatchAsync(*m_message, [state, operation, expectAnswer](const QByteArray &reply,
                                                                                   const QString &error) {
            state->Busy = false;
            if (expectAnswer) {
                state->Answers.insert(operation, {reply, error});
                state->AnswerReceived = true;
            }
        });
    } catch (...) {
        state->Busy = false;
        throw;
    }
    m_message->ClearValues();
}

void TROAsyncProxy::RetrieveAsyncResponse(const QString &operation)
{
    const auto it = m_state->Answers.constFind(operation);
    if (it == m_state->Answers.constEnd())
        throw EROMessageError(QStringLiteral("No answer to \"%1\" has arrived").arg(operation));
    const Answer answer = it.value();
    m_state->Answers.erase(it);
    if (!answer.Error.isEmpty())
        throw EROTransportError(answer.Error);
    if (answer.Data.isEmpty())
        throw EROMessageError(QStringLiteral("The answer to \"%1\" is empty").arg(operation));
    m_message->LoadFromBytes(answer.Data, RemotingLimits::kMaxReplySize);
    m_message->RaiseIfError();
}

TRORemoteService::TRORemoteService(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
    : m_message(std::move(message)), m_channel(std::move(channel))
{
}

std::unique_ptr<TROProxy> TRORemoteService::CreateProxy(const QUuid &interfaceId) const
{
    const ROProxyCreator creator = FindProxyClass(interfaceId);
    if (!creator)
        throw EROInterfaceCastError(QStringLiteral("No proxy class is registered for the interface %1")
                                        .arg(interfaceId.toString(QUuid::WithBraces).toUpper()));
    return creator(m_message, m_channel);
}
