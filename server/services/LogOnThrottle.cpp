#include "server/services/LogOnThrottle.h"

#include <algorithm>

using namespace std::chrono;

// Names compare without regard to case, as log-on names do; no address holds a line break.
QString TLogOnThrottle::NameKey(const QString &userName, const QString &address)
{
    return address + QLatin1Char('\n') + userName.toCaseFolded();
}

TLogOnThrottle::TLogOnThrottle(Clock clock) : m_clock(std::move(clock))
{
}

void TLogOnThrottle::SetClock(Clock clock)
{
    std::lock_guard lock(m_mutex);
    m_clock = std::move(clock);
}

int TLogOnThrottle::RecordCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_names.size() + m_addresses.size());
}

void TLogOnThrottle::Clear()
{
    std::lock_guard lock(m_mutex);
    m_names.clear();
    m_addresses.clear();
}

TLogOnThrottle &TLogOnThrottle::Server()
{
    static TLogOnThrottle throttle;
    return throttle;
}

milliseconds TLogOnThrottle::WaitFor(const Records &records, const QString &key, int free, steady_clock::time_point now) const
{
    const auto it = records.constFind(key);
    if (it == records.constEnd() || it->Failures < free || now - it->Last >= kQuietSpell)
        return milliseconds(0);
    const int doublings = std::min(it->Failures - free, 16);
    const auto delay = std::min<steady_clock::duration>(kFirstDelay * (1 << doublings), kMaxDelay);
    const auto left = it->Last + delay - now;
    return left > steady_clock::duration::zero() ? ceil<milliseconds>(left) : milliseconds(0);
}

milliseconds TLogOnThrottle::Wait(const QString &userName, const QString &address, bool *firstRefusal)
{
    std::lock_guard lock(m_mutex);
    const auto now = m_clock();
    const QString nameKey = NameKey(userName, address);
    const milliseconds byName = WaitFor(m_names, nameKey, kFreeFailuresPerName, now);
    const milliseconds byAddress = WaitFor(m_addresses, address, kFreeFailuresPerAddress, now);
    const milliseconds wait = std::max(byName, byAddress);
    if (firstRefusal) {
        *firstRefusal = false;
        if (wait.count() > 0) {
            Record &record = byName >= byAddress ? m_names[nameKey] : m_addresses[address];
            *firstRefusal = !record.Refused;
            record.Refused = true;
        }
    }
    return wait;
}

void TLogOnThrottle::Count(Records &records, const QString &key, steady_clock::time_point now)
{
    if (!records.contains(key) && records.size() >= kMaxRecords) {
        records.removeIf([now](const Records::iterator &it) { return now - it->Last >= kQuietSpell; });
        if (records.size() >= kMaxRecords) {
            QString oldest;
            steady_clock::time_point last = steady_clock::time_point::max();
            for (auto it = records.cbegin(); it != records.cend(); ++it)
                if (it->Last < last) {
                    oldest = it.key();
                    last = it->Last;
                }
            records.remove(oldest);
        }
    }
    Record &record = records[key];
    if (now - record.Last >= kQuietSpell) {
        record.Failures = 0;
        record.Refused = false;
    }
    ++record.Failures;
    record.Last = now;
}

void TLogOnThrottle::Failed(const QString &userName, const QString &address)
{
    std::lock_guard lock(m_mutex);
    const auto now = m_clock();
    Count(m_names, NameKey(userName, address), now);
    Count(m_addresses, address, now);
}

void TLogOnThrottle::Succeeded(const QString &userName, const QString &address)
{
    std::lock_guard lock(m_mutex);
    m_names.remove(NameKey(userName, address));
}
