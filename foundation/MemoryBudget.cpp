#include "foundation/MemoryBudget.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

bool TMemoryBudget::TryTake(std::size_t bytes)
{
    std::size_t used = m_inUse.load(std::memory_order_relaxed);
    do {
        if (bytes > m_capacity - used)
            return false;
    } while (!m_inUse.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
    return true;
}

void TMemoryBudget::Give(std::size_t bytes)
{
    m_inUse.fetch_sub(bytes, std::memory_order_relaxed);
}

TMemoryBudget &PeerDataBudget()
{
    static TMemoryBudget budget(kPeerDataBudget);
    return budget;
}

TMemoryLease::~TMemoryLease()
{
    if (m_budget)
        m_budget->Give(m_taken);
}

bool TMemoryLease::Take(std::size_t bytes)
{
    if (!m_budget) {
        m_pending += bytes;
        return true;
    }
    if (m_pending + bytes < kStep) {
        m_pending += bytes;
        return true;
    }
    if (!m_budget->TryTake(m_pending + bytes))
        return false;
    m_taken += m_pending + bytes;
    m_pending = 0;
    return true;
}

void ProcessMemory::LimitRetention()
{
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, kMaxArenas);
    // A fixed threshold also keeps glibc from raising it after each large block it frees.
    mallopt(M_MMAP_THRESHOLD, kMapThreshold);
#endif
}

void ProcessMemory::ReturnFreed()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

namespace {
std::atomic<int> g_requestsInService{0};
std::atomic<std::chrono::steady_clock::rep> g_lastIdleReturn{0};
thread_local bool t_requestLarge = false;
} // namespace

void ProcessMemory::MarkRequestLarge()
{
    t_requestLarge = true;
}

ProcessMemory::TRequestScope::TRequestScope()
{
    t_requestLarge = false;
    g_requestsInService.fetch_add(1, std::memory_order_relaxed);
}

ProcessMemory::TRequestScope::~TRequestScope()
{
    const bool last = g_requestsInService.fetch_sub(1, std::memory_order_acq_rel) == 1;
    if (t_requestLarge) {
        t_requestLarge = false;
        ReturnFreed();
        return;
    }
    if (!last)
        return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    auto before = g_lastIdleReturn.load(std::memory_order_relaxed);
    const auto interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(kIdleReturnInterval).count();
    if (now - before >= interval && g_lastIdleReturn.compare_exchange_strong(before, now, std::memory_order_relaxed))
        ReturnFreed();
}
