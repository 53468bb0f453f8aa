// Server events: the in-memory repository that keeps each fired event per client session until
// that session polls, and the writer base that fires through it. Each firing encodes its own
// message, and the queues sit behind one lock, so request threads may fire at any time.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class TROInMemorySessionManager;
class TROMessage;
class TROEventWriter;

class REMOTING_EXPORT TROInMemoryEventRepository
{
public:
    // The operation the framework answers itself from the repository, for any service name.
    static inline const QString PollOperation = QStringLiteral("ROPollEvents");
    static inline const QString PollEventsValue = QStringLiteral("Events");

    // Queues of expired sessions go with them.
    explicit TROInMemoryEventRepository(TROInMemorySessionManager &sessions);
    ~TROInMemoryEventRepository();

    // Stores one event for the sessions it is meant for: with an empty list every known session;
    // with a list the listed ones, or every other one when excludeSessionList is set; the sender's
    // own session is left out when excludeSender is set. sessionList is comma-separated GUIDs.
    // Of those, only sessions a user has logged on in get it, or any while no user exists.
    void StoreEventData(const QUuid &sender, const QByteArray &eventData, bool excludeSender,
                        bool excludeSessionList, const QString &sessionList);
    // Takes the session's waiting events, oldest first, up to maxBytes in all (at least one).
    QList<QByteArray> GetEventData(const QUuid &session, std::size_t maxBytes = RemotingLimits::kMaxReplySize / 2);
    std::size_t PendingCount(const QUuid &session);
    void SetMaxEventsPerSession(std::size_t count);
    // Answers whether the server has no users yet (so nobody can log on and every session is
    // let in); asked, outside any lock, when an event would reach a session without a user.
    // Unset or failing, it counts as "users exist".
    void SetNoUserExists(std::function<bool()> answer);

    // A new writer of the class registered for the interface GUID, bound to this repository;
    // EROInterfaceCastError when none is registered.
    std::unique_ptr<TROEventWriter> GetEventWriter(const QUuid &interfaceId);

    TROInMemorySessionManager &SessionManager() const { return m_sessions; }

private:
    void DropSessions(const QList<QUuid> &ids);

    TROInMemorySessionManager &m_sessions;
    std::mutex m_mutex;
    struct Queue
    {
        std::deque<QByteArray> events;
        // Events dropped since the queue filled; a full queue is logged once, when it fills,
        // and once more when its session polls again.
        std::size_t dropped = 0;
    };
    std::map<QUuid, Queue> m_queues;
    std::size_t m_maxEvents = RemotingLimits::kMaxEventsPerSession;
    std::function<bool()> m_noUserExists;
};

// Base of the contract's writer classes: routing values plus StoreEvent. Defaults: the sender is
// excluded (the all-zero sender excludes nobody), the list is empty and not an exclusion list.
class REMOTING_EXPORT TROEventWriter
{
public:
    explicit TROEventWriter(TROInMemoryEventRepository &repository) : m_repository(repository) {}
    virtual ~TROEventWriter();

    QStringList GetSessionList() const { return m_sessionList; }
    void SetSessionList(const QStringList &list) { m_sessionList = list; }
    bool GetExcludeSender() const { return m_excludeSender; }
    void SetExcludeSender(bool value) { m_excludeSender = value; }
    bool GetExcludeSessionList() const { return m_excludeSessionList; }
    void SetExcludeSessionList(bool value) { m_excludeSessionList = value; }
    TROInMemoryEventRepository &GetRepository() const { return m_repository; }

protected:
    // Encodes the finished event message and stores it with this writer's routing values.
    void StoreEvent(const QUuid &sender, const TROMessage &event);

private:
    TROInMemoryEventRepository &m_repository;
    QStringList m_sessionList;
    bool m_excludeSender = true;
    bool m_excludeSessionList = false;
};
