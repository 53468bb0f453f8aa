#include "remoting/ROEventRepository.h"

#include "remoting/ROErrors.h"
#include "remoting/ROMessage.h"
#include "remoting/RORegistry.h"
#include "remoting/ROSessionManager.h"

#include "foundation/QuorvaLogFile.h"

#include <optional>
#include <set>

TROInMemoryEventRepository::TROInMemoryEventRepository(TROInMemorySessionManager &sessions) : m_sessions(sessions)
{
    m_sessions.SetExpiredHandler([this](const QList<QUuid> &ids) { DropSessions(ids); });
}

TROInMemoryEventRepository::~TROInMemoryEventRepository()
{
    m_sessions.SetExpiredHandler({});
}

void TROInMemoryEventRepository::DropSessions(const QList<QUuid> &ids)
{
    std::lock_guard lock(m_mutex);
    for (const QUuid &id : ids)
        m_queues.erase(id);
}

void TROInMemoryEventRepository::SetMaxEventsPerSession(std::size_t count)
{
    std::lock_guard lock(m_mutex);
    m_maxEvents = std::max<std::size_t>(count, 1);
}

void TROInMemoryEventRepository::SetNoUserExists(std::function<bool()> answer)
{
    std::lock_guard lock(m_mutex);
    m_noUserExists = std::move(answer);
}

void TROInMemoryEventRepository::StoreEventData(const QUuid &sender, const QByteArray &eventData, bool excludeSender,
                                                bool excludeSessionList, const QString &sessionList)
{
    std::set<QUuid> listed;
    for (const QString &part : sessionList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QUuid id = QUuid::fromString(part.trimmed());
        if (!id.isNull())
            listed.insert(id);
    }
    std::function<bool()> noUserExists;
    {
        std::lock_guard lock(m_mutex);
        noUserExists = m_noUserExists;
    }
    // Asked once, and only when a session without a user would get the event.
    std::optional<bool> open;
    auto letIn = [&] {
        if (!open) {
            try {
                open = noUserExists && noUserExists();
            } catch (const std::exception &e) {
                AddToLog(llWarning, QStringLiteral("EventRepository"), QStringLiteral("StoreEventData"),
                         QStringLiteral("Whether users exist is unknown (%1); sessions without a user get no event")
                             .arg(QString::fromLocal8Bit(e.what())));
                open = false;
            }
        }
        return *open;
    };
    // Only sessions the server knows get a queue, so a forged list cannot grow memory.
    QList<QUuid> targets;
    for (const std::shared_ptr<TROSession> &session : m_sessions.LiveSessions()) {
        const QUuid id = session->SessionID();
        if (!listed.empty() && (listed.count(id) != 0) == excludeSessionList)
            continue;
        if (excludeSender && id == sender)
            continue;
        if (!session->User() && !letIn())
            continue;
        targets.append(id);
    }

    QList<QUuid> filled;
    std::size_t maxEvents = 0;
    {
        std::lock_guard lock(m_mutex);
        maxEvents = m_maxEvents;
        for (const QUuid &id : targets) {
            // A session may have expired since it was listed, its queue dropped with it; looked
            // up under this lock, a session found here has its queue dropped after this push.
            if (!m_sessions.Find(id))
                continue;
            Queue &queue = m_queues[id];
            if (queue.events.size() >= m_maxEvents) {
                queue.events.pop_front();
                if (queue.dropped++ == 0)
                    filled.append(id);
            }
            queue.events.push_back(eventData);
        }
    }
    for (const QUuid &id : filled)
        AddToLog(llWarning, QStringLiteral("EventRepository"), QStringLiteral("StoreEventData"),
                 QStringLiteral("Event queue of session %1 is full (%2 events); its oldest events are dropped until it polls")
                     .arg(id.toString(QUuid::WithBraces).toUpper())
                     .arg(maxEvents));
}

QList<QByteArray> TROInMemoryEventRepository::GetEventData(const QUuid &session, std::size_t maxBytes)
{
    QList<QByteArray> events;
    std::size_t dropped = 0;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_queues.find(session);
        if (it == m_queues.end())
            return events;
        std::size_t total = 0;
        Queue &queue = it->second;
        while (!queue.events.empty()) {
            const std::size_t size = std::size_t(queue.events.front().size());
            if (!events.isEmpty() && total + size > maxBytes)
                break;
            total += size;
            events.append(std::move(queue.events.front()));
            queue.events.pop_front();
        }
        if (!events.isEmpty())
            std::swap(dropped, queue.dropped);
    }
    if (dropped > 0)
        AddToLog(llWarning, QStringLiteral("EventRepository"), QStringLiteral("GetEventData"),
                 QStringLiteral("Event queue of session %1 drains again; %2 events were dropped while it was full")
                     .arg(session.toString(QUuid::WithBraces).toUpper())
                     .arg(dropped));
    return events;
}

std::size_t TROInMemoryEventRepository::PendingCount(const QUuid &session)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_queues.find(session);
    return it == m_queues.end() ? 0 : it->second.events.size();
}

std::unique_ptr<TROEventWriter> TROInMemoryEventRepository::GetEventWriter(const QUuid &interfaceId)
{
    const ROEventWriterCreator creator = FindEventWriterClass(interfaceId);
    if (!creator)
        throw EROInterfaceCastError(QStringLiteral("No event writer is registered for the interface %1")
                                        .arg(interfaceId.toString(QUuid::WithBraces).toUpper()));
    return creator(*this);
}

TROEventWriter::~TROEventWriter() = default;

void TROEventWriter::StoreEvent(const QUuid &sender, const TROMessage &event)
{
    const QByteArray data = event.SaveToBytes(RemotingLimits::kMaxReplySize);
    m_repository.StoreEventData(sender, data, m_excludeSender, m_excludeSessionList,
                                m_sessionList.join(QLatin1Char(',')));
}
