#include "foundation/RequestScope.h"

namespace QorRequest {

namespace {

thread_local std::chrono::milliseconds t_statementLimit{0};
thread_local std::function<bool()> t_clientGone;

} // namespace

std::chrono::milliseconds StatementLimit()
{
    return t_statementLimit;
}

bool ClientGone()
{
    return t_clientGone && t_clientGone();
}

TStatementLimitScope::TStatementLimitScope(std::chrono::milliseconds limit) : m_previous(t_statementLimit)
{
    t_statementLimit = limit;
}

TStatementLimitScope::~TStatementLimitScope()
{
    t_statementLimit = m_previous;
}

TClientWatchScope::TClientWatchScope(std::function<bool()> clientGone) : m_previous(std::move(t_clientGone))
{
    t_clientGone = std::move(clientGone);
}

TClientWatchScope::~TClientWatchScope()
{
    t_clientGone = std::move(m_previous);
}

} // namespace QorRequest
