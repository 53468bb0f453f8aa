#include "remoting/ROEventReceiver.h"

#include "remoting/ROErrors.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"

#include "foundation/QuorvaLogFile.h"

#include <QTimer>

namespace {

const QString kSender = QStringLiteral("ROEventReceiver");
constexpr std::chrono::milliseconds kHeldBackRetry{25};

} // namespace

IROInterface::~IROInterface() = default;

TROEventInvoker::~TROEventInvoker() = default;

void TROEventInvoker::RegisterEvent(const QString &eventName, ROEventInvokeFunction function)
{
    m_methods.insert(eventName, std::move(function));
}

void TROEventInvoker::Invoke(TROEventReceiver &receiver, TROMessage &message, IROInterface &target) const
{
    const auto it = m_methods.constFind(message.MessageName());
    if (it == m_methods.constEnd())
        throw EROUnknownOperation(message.InterfaceName(), QStringLiteral("Invoke_") + message.MessageName());
    it.value()(receiver, message, target);
}

TROEventReceiver::TROEventReceiver(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(RemotingLimits::kDefaultPollInterval);
    connect(m_timer, &QTimer::timeout, this, &TROEventReceiver::Tick);
}

TROEventReceiver::~TROEventReceiver()
{
    *m_alive = false;
}

void TROEventReceiver::SetInterval(std::chrono::milliseconds interval)
{
    m_timer->setInterval(interval);
}

void TROEventReceiver::SetActive(bool active)
{
    if (active)
        m_timer->start();
    else
        m_timer->stop();
}

bool TROEventReceiver::Active() const
{
    return m_timer->isActive();
}

void TROEventReceiver::RegisterEventHandler(const QString &sinkName, IROInterface *target)
{
    QList<IROInterface *> &targets = m_handlers[sinkName];
    if (!targets.contains(target))
        targets.append(target);
}

void TROEventReceiver::UnregisterEventHandler(const QString &sinkName, IROInterface *target)
{
    const auto it = m_handlers.find(sinkName);
    if (it == m_handlers.end())
        return;
    it->removeAll(target);
    if (it->isEmpty())
        m_handlers.erase(it);
}

void TROEventReceiver::Tick()
{
    const std::shared_ptr<bool> alive = m_alive;
    Deliver();
    if (*alive)
        PollNow();
}

void TROEventReceiver::PollNow()
{
    if (m_polling || !m_channel || m_channel->Busy())
        return;
    TROMessage poll;
    poll.InitializeRequest(QString(), m_serviceName, TROInMemoryEventRepository::PollOperation);
    m_polling = true;
    const std::shared_ptr<bool> alive = m_alive;
    try {
        m_channel->DispatchAsync(poll, [this, alive](const QByteArray &reply, const QString &error) {
            if (!*alive)
                return;
            m_polling = false;
            QString failure = error;
            if (failure.isEmpty()) {
                try {
                    TROMessage answer;
                    answer.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
                    answer.RaiseIfError();
                    const ROValue events =
                        answer.ReadValue(TROInMemoryEventRepository::PollEventsValue, ROType::Array);
                    if (!events.IsNil())
                        for (const ROValue &event : events.Items())
                            m_pending.push_back(event.ToBinary());
                } catch (const EROException &e) {
                    failure = e.Message();
                }
            }
            // A server that is away fails every poll: log the first failure of a run, not each one.
            if (!failure.isEmpty() && !m_failing)
                AddToLog(llSevere, kSender, QStringLiteral("Poll"), failure);
            m_failing = !failure.isEmpty();
            // A handler may delete this receiver.
            Deliver();
            if (*alive)
                emit Polled(failure);
        });
    } catch (const EROException &e) {
        m_polling = false;
        AddToLog(llSevere, kSender, QStringLiteral("Poll"), e.Message());
    }
}

void TROEventReceiver::Deliver()
{
    const std::shared_ptr<bool> alive = m_alive;
    while (!m_pending.empty() && TROHTTPChannel::SynchronousCallsInProgress() == 0) {
        const QByteArray data = std::move(m_pending.front());
        m_pending.pop_front();
        DeliverOne(data);
        if (!*alive)
            return;
    }
    // Held back by a call: look again shortly rather than a whole poll interval later.
    if (!m_pending.empty() && !m_retryScheduled) {
        m_retryScheduled = true;
        QTimer::singleShot(kHeldBackRetry, this, [this] {
            m_retryScheduled = false;
            Deliver();
        });
    }
}

void TROEventReceiver::DeliverOne(const QByteArray &data)
{
    try {
        TROMessage event;
        event.LoadFromBytes(data, RemotingLimits::kMaxReplySize);
        if (event.Kind() != ROMessageKind::Event)
            throw EROMessageError(QStringLiteral("A polled message is not an event"));
        const QString sink = event.InterfaceName();
        const ROEventInvokerCreator creator = FindEventInvokerClass(sink);
        if (!creator)
            throw EROInterfaceCastError(QStringLiteral("No event invoker is registered for \"%1\"").arg(sink));
        const std::unique_ptr<TROEventInvoker> invoker = creator();
        // A handler may unregister targets (itself, or others it deletes) and may delete this
        // receiver: each target is looked up again before its turn, and the walk ends with the receiver.
        const std::shared_ptr<bool> alive = m_alive;
        const QList<IROInterface *> targets = m_handlers.value(sink);
        for (IROInterface *target : targets) {
            if (!*alive)
                return;
            const auto registered = m_handlers.constFind(sink);
            if (registered == m_handlers.constEnd() || !registered->contains(target))
                continue;
            TROMessage copy = event;
            try {
                invoker->Invoke(*this, copy, *target);
            } catch (const std::exception &e) {
                AddToLog(llSevere, kSender, QStringLiteral("Invoke_") + event.MessageName(), QString::fromLocal8Bit(e.what()));
            }
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSender, QStringLiteral("Deliver"), QString::fromLocal8Bit(e.what()));
    }
}
