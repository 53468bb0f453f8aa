#include "remoting/ROSessionManager.h"

#include "remoting/ROErrors.h"

std::optional<TvoUser> TROSession::User() const
{
    std::lock_guard lock(m_mutex);
    return m_user;
}

void TROSession::SetUser(const TvoUser &user)
{
    std::lock_guard lock(m_mutex);
    m_user = user;
}

void TROSession::ClearUser()
{
    std::lock_guard lock(m_mutex);
    m_user.reset();
}

TROInMemorySessionManager::TROInMemorySessionManager(ROClock clock) : m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return std::chrono::steady_clock::now(); };
}

void TROInMemorySessionManager::SetIdleTimeout(std::chrono::milliseconds timeout)
{
    std::lock_guard lock(m_mutex);
    m_idleTimeout = timeout;
}

void TROInMemorySessionManager::SetMaxSessions(std::size_t count)
{
    std::lock_guard lock(m_mutex);
    m_maxSessions = std::max<std::size_t>(count, 1);
}

void TROInMemorySessionManager::SetExpiredHandler(std::function<void(const QList<QUuid> &)> handler)
{
    std::lock_guard lock(m_mutex);
    m_expiredHandler = std::move(handler);
}

void TROInMemorySessionManager::EraseLocked(std::map<QUuid, Entry>::iterator it)
{
    m_byUse.erase(it->second.Place);
    m_sessions.erase(it);
}

QList<QUuid> TROInMemorySessionManager::ExpireLocked(std::chrono::steady_clock::time_point now)
{
    QList<QUuid> expired;
    while (!m_byUse.empty()) {
        const auto it = m_sessions.find(m_byUse.front());
        if (now - it->second.LastUse < m_idleTimeout)
            break;
        expired.append(it->first);
        EraseLocked(it);
    }
    return expired;
}

void TROInMemorySessionManager::Notify(const QList<QUuid> &expired)
{
    if (expired.isEmpty())
        return;
    std::function<void(const QList<QUuid> &)> handler;
    {
        std::lock_guard lock(m_mutex);
        handler = m_expiredHandler;
    }
    if (handler)
        handler(expired);
}

std::map<QUuid, TROInMemorySessionManager::Entry>::iterator
TROInMemorySessionManager::UseLocked(const QUuid &id, std::chrono::steady_clock::time_point now, QList<QUuid> &expired)
{
    auto it = m_sessions.find(id);
    if (it == m_sessions.end())
        return it;
    // An idle session is not revived by a late request.
    if (now - it->second.LastUse >= m_idleTimeout) {
        expired.append(id);
        EraseLocked(it);
        return m_sessions.end();
    }
    it->second.LastUse = now;
    m_byUse.splice(m_byUse.end(), m_byUse, it->second.Place);
    return it;
}

std::shared_ptr<TROSession> TROInMemorySessionManager::Touch(const QUuid &id)
{
    const auto now = m_clock();
    std::shared_ptr<TROSession> session;
    QList<QUuid> expired;
    {
        std::lock_guard lock(m_mutex);
        auto it = UseLocked(id, now, expired);
        if (it == m_sessions.end()) {
            if (m_sessions.size() >= m_maxSessions)
                expired.append(ExpireLocked(now));
            // Still full: the session idle longest among those without a user makes room.
            for (auto place = m_byUse.begin(); m_sessions.size() >= m_maxSessions && place != m_byUse.end();) {
                const auto candidate = m_sessions.find(*place++);
                if (candidate->second.Session->User())
                    continue;
                expired.append(candidate->first);
                EraseLocked(candidate);
            }
            if (m_sessions.size() < m_maxSessions) {
                const auto place = m_byUse.insert(m_byUse.end(), id);
                it = m_sessions.emplace(id, Entry{std::make_shared<TROSession>(id), now, place}).first;
            }
        }
        if (it != m_sessions.end())
            session = it->second.Session;
    }
    Notify(expired);
    if (!session)
        throw EROException(QStringLiteral("EROSessionLimit"),
                           QStringLiteral("The server holds %1 sessions; no new one can start").arg(m_maxSessions));
    return session;
}

std::shared_ptr<TROSession> TROInMemorySessionManager::TouchKnown(const QUuid &id)
{
    const auto now = m_clock();
    std::shared_ptr<TROSession> session;
    QList<QUuid> expired;
    {
        std::lock_guard lock(m_mutex);
        const auto it = UseLocked(id, now, expired);
        if (it != m_sessions.end())
            session = it->second.Session;
    }
    Notify(expired);
    return session;
}

std::shared_ptr<TROSession> TROInMemorySessionManager::Find(const QUuid &id)
{
    const auto now = m_clock();
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end() || now - it->second.LastUse >= m_idleTimeout)
        return nullptr;
    return it->second.Session;
}

QList<QUuid> TROInMemorySessionManager::SessionIDs()
{
    const auto now = m_clock();
    std::lock_guard lock(m_mutex);
    QList<QUuid> ids;
    for (const auto &[id, entry] : m_sessions)
        if (now - entry.LastUse < m_idleTimeout)
            ids.append(id);
    return ids;
}

std::vector<std::shared_ptr<TROSession>> TROInMemorySessionManager::LiveSessions()
{
    const auto now = m_clock();
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<TROSession>> live;
    live.reserve(m_sessions.size());
    for (const auto &[id, entry] : m_sessions)
        if (now - entry.LastUse < m_idleTimeout)
            live.push_back(entry.Session);
    return live;
}

QList<QUuid> TROInMemorySessionManager::ExpireIdle()
{
    QList<QUuid> expired;
    {
        std::lock_guard lock(m_mutex);
        expired = ExpireLocked(m_clock());
    }
    Notify(expired);
    return expired;
}

void TROInMemorySessionManager::Sweep()
{
    QList<QUuid> expired;
    {
        const auto now = m_clock();
        std::lock_guard lock(m_mutex);
        if (now - m_lastSweep < std::chrono::seconds(1))
            return;
        m_lastSweep = now;
        expired = ExpireLocked(now);
    }
    Notify(expired);
}
