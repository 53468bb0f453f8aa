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

QList<QUuid> TROInMemorySessionManager::ExpireLocked(std::chrono::steady_clock::time_point now)
{
    QList<QUuid> expired;
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if (now - it->second.LastUse >= m_idleTimeout) {
            expired.append(it->first);
            it = m_sessions.erase(it);
        } else {
            ++it;
        }
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

std::shared_ptr<TROSession> TROInMemorySessionManager::Touch(const QUuid &id)
{
    const auto now = m_clock();
    std::shared_ptr<TROSession> session;
    QList<QUuid> expired;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_sessions.find(id);
        // An idle session is not revived by a late request: it starts afresh, logged off.
        if (it != m_sessions.end() && now - it->second.LastUse >= m_idleTimeout) {
            expired.append(id);
            m_sessions.erase(it);
            it = m_sessions.end();
        }
        if (it == m_sessions.end()) {
            if (m_sessions.size() >= m_maxSessions)
                expired.append(ExpireLocked(now));
            if (m_sessions.size() < m_maxSessions)
                it = m_sessions.emplace(id, Entry{std::make_shared<TROSession>(id), now}).first;
        }
        if (it != m_sessions.end()) {
            it->second.LastUse = now;
            session = it->second.Session;
        }
    }
    Notify(expired);
    if (!session)
        throw EROException(QStringLiteral("EROSessionLimit"),
                           QStringLiteral("The server holds %1 sessions; no new one can start").arg(m_maxSessions));
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
