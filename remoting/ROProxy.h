// Client-side bases of the contract's proxies: the synchronous proxy over a message and a
// channel, the asynchronous proxy (send now, collect the answer later), and the remote-service
// object that makes the proxy registered for a service interface GUID.
#pragma once

#include "remoting/RemotingExport.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUuid>

#include <memory>

class TROMessage;
class TROTransportChannel;

class REMOTING_EXPORT TROProxy
{
public:
    TROProxy(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);
    virtual ~TROProxy();

    // The service name every request of this proxy carries.
    virtual QString GetInterfaceName() const = 0;
    std::shared_ptr<TROTransportChannel> GetTransportChannel() const { return m_channel; }
    std::shared_ptr<TROMessage> GetMessage() const { return m_message; }

protected:
    // Clears the message and names the request; the caller then writes the parameters in order.
    TROMessage &BeginRequest(const QString &library, const QString &operation);
    // Sends and leaves the reply (or nothing for a one-way call) in the message; raises failures.
    void Dispatch();
    // Drops the call's values; run whether the call succeeded or not.
    void EndCall();

private:
    std::shared_ptr<TROMessage> m_message;
    std::shared_ptr<TROTransportChannel> m_channel;
};

class REMOTING_EXPORT TROAsyncProxy
{
public:
    TROAsyncProxy(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);
    virtual ~TROAsyncProxy();

    virtual QString GetInterfaceName() const = 0;
    std::shared_ptr<TROTransportChannel> GetTransportChannel() const { return m_state->Channel; }
    std::shared_ptr<TROMessage> GetMessage() const { return m_message; }

    // True from sending until the answer (or the failure) has come back.
    bool GetBusy() const { return m_state->Busy; }
    // True once an answer or a failure has come back for the last call that expects one.
    bool GetAnswerReceived() const { return m_state->AnswerReceived; }

    // EROChannelBusy naming the operation while a call is in flight.
    void AssertProxyNotBusy(const QString &operation) const;
    // Sends the message as it stands under the operation's name; returns at once.
    void DispatchAsyncRequest(const QString &operation, bool expectAnswer);
    // Loads the stored answer into the message and raises the server's or the transport's error;
    // EROMessageError when no answer for the operation has arrived.
    void RetrieveAsyncResponse(const QString &operation);

protected:
    TROMessage &BeginRequest(const QString &library, const QString &operation);

private:
    struct Answer
    {
        QByteArray Data;
        QString Error;
    };
    // Shared with the completion callback, which may run after the proxy has gone.
    struct State
    {
        std::shared_ptr<TROTransportChannel> Channel;
        bool Busy = false;
        bool AnswerReceived = false;
        QHash<QString, Answer> Answers;
    };

    std::shared_ptr<TROMessage> m_message;
    std::shared_ptr<State> m_state;
};

// Holds a message and a channel and makes proxies for service interface GUIDs.
class REMOTING_EXPORT TRORemoteService
{
public:
    TRORemoteService(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);

    // The proxy registered for the GUID on this message and channel; EROInterfaceCastError when none is.
    std::unique_ptr<TROProxy> CreateProxy(const QUuid &interfaceId) const;

    std::shared_ptr<TROMessage> GetMessage() const { return m_message; }
    std::shared_ptr<TROTransportChannel> GetTransportChannel() const { return m_channel; }

private:
    std::shared_ptr<TROMessage> m_message;
    std::shared_ptr<TROTransportChannel> m_channel;
};
