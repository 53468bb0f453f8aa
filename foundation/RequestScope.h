// What the client's request served on this thread allows the work it does: how long one
// database statement may run, and whether the client is still waiting for the answer. The HTTP
// server sets both around each request; work outside a request (start-up, shut-down, tools)
// has neither, and its statements run as long as they take.
#pragma once

#include "foundation/FoundationExport.h"

#include <chrono>
#include <functional>

namespace QorRequest {

// Zero outside a request, or when the request sets no limit.
FOUNDATION_EXPORT std::chrono::milliseconds StatementLimit();
// True once the client of the request has closed its connection.
FOUNDATION_EXPORT bool ClientGone();

class FOUNDATION_EXPORT TStatementLimitScope
{
public:
    explicit TStatementLimitScope(std::chrono::milliseconds limit);
    ~TStatementLimitScope();
    TStatementLimitScope(const TStatementLimitScope &) = delete;
    TStatementLimitScope &operator=(const TStatementLimitScope &) = delete;

private:
    std::chrono::milliseconds m_previous;
};

class FOUNDATION_EXPORT TClientWatchScope
{
public:
    // clientGone must be cheap: it is asked a few times a second while a statement runs.
    explicit TClientWatchScope(std::function<bool()> clientGone);
    ~TClientWatchScope();
    TClientWatchScope(const TClientWatchScope &) = delete;
    TClientWatchScope &operator=(const TClientWatchScope &) = delete;

private:
    std::function<bool()> m_previous;
};

} // namespace QorRequest
