// Client side of server events: the receiver polls the server on its own channel at an interval,
// and hands each event message to the invoker registered for its sink, once per target object
// registered for that sink. While a synchronous call of the thread is waiting, events are held
// back and handed on after it returns, so no handler runs inside a call.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>

class QTimer;
class TROMessage;
class TROTransportChannel;
class TROEventReceiver;

// What an event target offers: the receiving interface for a GUID, or false.
class REMOTING_EXPORT IROInterface
{
public:
    virtual ~IROInterface();
    virtual bool queryInterface(const QUuid &interfaceId, void **object) = 0;
};

using ROEventInvokeFunction = std::function<void(TROEventReceiver &receiver, TROMessage &message, IROInterface &target)>;

// Base of the contract's event invokers: one function per event, found by "Invoke_" + event name.
class REMOTING_EXPORT TROEventInvoker
{
public:
    virtual ~TROEventInvoker();
    // EROUnknownOperation when the invoker has no method for the message's event.
    void Invoke(TROEventReceiver &receiver, TROMessage &message, IROInterface &target) const;

protected:
    void RegisterEvent(const QString &eventName, ROEventInvokeFunction function);

private:
    QHash<QString, ROEventInvokeFunction> m_methods;
};

class REMOTING_EXPORT TROEventReceiver : public QObject
{
    Q_OBJECT
public:
    explicit TROEventReceiver(QObject *parent = nullptr);
    ~TROEventReceiver() override;

    void SetChannel(std::shared_ptr<TROTransportChannel> channel) { m_channel = std::move(channel); }
    // The service name the polls carry.
    void SetServiceName(const QString &name) { m_serviceName = name; }
    void SetInterval(std::chrono::milliseconds interval);
    void SetActive(bool active);
    bool Active() const;

    // The target is not owned; unregister it before it goes.
    void RegisterEventHandler(const QString &sinkName, IROInterface *target);
    void UnregisterEventHandler(const QString &sinkName, IROInterface *target);
    bool HasHandlers(const QString &sinkName) const { return m_handlers.contains(sinkName); }

    // Polls now (when no poll is in flight) instead of waiting for the next tick.
    void PollNow();

signals:
    // Emitted after every finished poll; error is empty when it succeeded.
    void Polled(const QString &error);

private:
    void Tick();
    void Deliver();
    void DeliverOne(const QByteArray &data);

    std::shared_ptr<TROTransportChannel> m_channel;
    QString m_serviceName;
    QTimer *m_timer;
    bool m_polling = false;
    bool m_failing = false;
    bool m_retryScheduled = false;
    QHash<QString, QList<IROInterface *>> m_handlers;
    std::deque<QByteArray> m_pending;
    // Each poll callback checks this, so a late answer after destruction does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
