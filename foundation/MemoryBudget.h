// Memory that work on data from peers may take at once, shared by every thread that draws on
// it: request messages being unpacked and read, delta streams being parsed. A reader takes what
// it is about to allocate and gives it back when done; when the budget is spent the reader
// refuses its input instead of allocating, so many hostile requests at once cannot exhaust the
// server's memory.
#pragma once

#include "foundation/FoundationExport.h"

#include <atomic>
#include <chrono>
#include <cstddef>

class FOUNDATION_EXPORT TMemoryBudget
{
public:
    explicit TMemoryBudget(std::size_t capacity) : m_capacity(capacity) {}
    TMemoryBudget(const TMemoryBudget &) = delete;
    TMemoryBudget &operator=(const TMemoryBudget &) = delete;

    // False, taking nothing, when bytes do not fit beside what is in use.
    bool TryTake(std::size_t bytes);
    void Give(std::size_t bytes);
    std::size_t InUse() const { return m_inUse.load(std::memory_order_relaxed); }
    std::size_t Capacity() const { return m_capacity; }

private:
    const std::size_t m_capacity;
    std::atomic<std::size_t> m_inUse{0};
};

// The server's budget for reading what clients send. Room for two requests of the largest size
// at once (each needs its unpacked body and a copy of it as values).
constexpr std::size_t kPeerDataBudget = std::size_t(256) * 1024 * 1024;
FOUNDATION_EXPORT TMemoryBudget &PeerDataBudget();

// Takes from a budget in steps as a reader goes, and gives everything back when it ends.
// Without a budget it only counts.
class FOUNDATION_EXPORT TMemoryLease
{
public:
    explicit TMemoryLease(TMemoryBudget *budget) : m_budget(budget) {}
    ~TMemoryLease();
    TMemoryLease(const TMemoryLease &) = delete;
    TMemoryLease &operator=(const TMemoryLease &) = delete;

    // False when the budget cannot cover bytes more; the lease keeps what it had.
    bool Take(std::size_t bytes);
    std::size_t Taken() const { return m_taken + m_pending; }

private:
    // Small takes are gathered into steps of this size, so the shared counter is not touched per value.
    static constexpr std::size_t kStep = 256 * 1024;

    TMemoryBudget *m_budget;
    std::size_t m_taken = 0;   // drawn from the budget
    std::size_t m_pending = 0; // counted, not yet drawn
};

// Freed memory and the system. glibc keeps what a thread frees in that thread's arena, one arena
// per thread up to eight per core, and gives little of it back: after a few large requests a
// server of a hundred pool threads would stay at their peak for good.
namespace ProcessMemory {
// Arenas the allocator may keep: few, so freed memory is found again by the next request.
constexpr int kMaxArenas = 4;
// Blocks from this size on are mapped and unmapped on their own, whatever sizes went before.
constexpr int kMapThreshold = 1024 * 1024;
// A request or reply from this size on is large.
constexpr std::size_t kReturnAfterBytes = std::size_t(1024) * 1024;
// A server found idle gives memory back at most this often (clients poll it all the time).
constexpr std::chrono::milliseconds kIdleReturnInterval{1000};

// Once, at the start of a server, before its threads.
FOUNDATION_EXPORT void LimitRetention();
// Gives the system the free pages of every arena (a few milliseconds for a large heap).
FOUNDATION_EXPORT void ReturnFreed();

// One request in service, from its start until its reply is written, on the thread that serves
// it. After it moved a large message (MarkRequestLarge from within), or when it ends as the last
// one in service (at most once per kIdleReturnInterval), the freed memory goes back: after any
// load the server comes back near its base size.
class FOUNDATION_EXPORT TRequestScope
{
public:
    TRequestScope();
    ~TRequestScope();
    TRequestScope(const TRequestScope &) = delete;
    TRequestScope &operator=(const TRequestScope &) = delete;
};
FOUNDATION_EXPORT void MarkRequestLarge();
} // namespace ProcessMemory
