// Client sessions of the server, kept in memory: one per client program (its GUID travels in
// every message), kept alive by any request, holding the user that logged on, and expiring after
// a time without requests. The clock is injectable so expiry can be tested without waiting.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"

#include "foundation/uCommon.h"

#include <QList>
#include <QUuid>

#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

using ROClock = std::function<std::chrono::steady_clock::time_point()>;

class REMOTING_EXPORT TROSession
{
public:
    explicit TROSession(const QUuid &id) : m_id(id) {}

    QUuid SessionID() const { return m_id; }
    // The user logged on in this session; none until the log-on service sets one.
    std::optional<TvoUser> User() const;
    void SetUser(const TvoUser &user);
    void ClearUser();

private:
    const QUuid m_id;
    mutable std::mutex m_mutex;
    std::optional<TvoUser> m_user;
};

class REMOTING_EXPORT TROInMemorySessionManager
{
public:
    explicit TROInMemorySessionManager(ROClock clock = {});

    // The session of the id, made when new, with its idle time restarted. At the maximum count
    // a new session takes the place of the longest-idle session nobody has logged on in; only
    // when every session has a user is it refused with EROSessionLimit.
    std::shared_ptr<TROSession> Touch(const QUuid &id);
    // The session of the id with its idle time restarted; null (and nothing made) when the id
    // has no session or it has expired.
    std::shared_ptr<TROSession> TouchKnown(const QUuid &id);
    // Null when unknown or expired; does not restart the idle time.
    std::shared_ptr<TROSession> Find(const QUuid &id);
    QList<QUuid> SessionIDs();
    // The sessions that have not expired.
    std::vector<std::shared_ptr<TROSession>> LiveSessions();
    // Drops every session idle for the timeout or longer and answers their ids.
    QList<QUuid> ExpireIdle();
    // ExpireIdle at most once a second (by the manager's clock): cheap enough for every request.
    void Sweep();
    void SetIdleTimeout(std::chrono::milliseconds timeout);
    void SetMaxSessions(std::size_t count);
    // Called with the ids of expired sessions (outside the manager's lock).
    void SetExpiredHandler(std::function<void(const QList<QUuid> &)> handler);

private:
    struct Entry
    {
        std::shared_ptr<TROSession> Session;
        std::chrono::steady_clock::time_point LastUse;
        std::list<QUuid>::iterator Place; // in m_byUse
    };

    // Finds the id's session, dropping it (into expired) when it has been idle too long, and
    // restarts its idle time.
    std::map<QUuid, Entry>::iterator UseLocked(const QUuid &id, std::chrono::steady_clock::time_point now,
                                               QList<QUuid> &expired);
    void EraseLocked(std::map<QUuid, Entry>::iterator it);
    QList<QUuid> ExpireLocked(std::chrono::steady_clock::time_point now);
    void Notify(const QList<QUuid> &expired);

    ROClock m_clock;
    std::mutex m_mutex;
    std::map<QUuid, Entry> m_sessions;
    // Session ids, the longest idle first.
    std::list<QUuid> m_byUse;
    std::chrono::milliseconds m_idleTimeout = RemotingLimits::kSessionIdleTimeout;
    std::function<void(const QList<QUuid> &)> m_expiredHandler;
    std::chrono::steady_clock::time_point m_lastSweep{};
    std::size_t m_maxSessions = RemotingLimits::kMaxSessions;
};
