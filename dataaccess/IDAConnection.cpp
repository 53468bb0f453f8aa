#include "dataaccess/IDAConnection.h"

IDAConnection::~IDAConnection() = default;

void IDAConnection::RunInSavepoint(const std::function<void()> &work)
{
    const QString name = QStringLiteral("da_sp_%1").arg(++m_savepointCounter);
    Savepoint(name);
    try {
        work();
    } catch (...) {
        RollbackToSavepoint(name);
        ReleaseSavepoint(name);
        throw;
    }
    ReleaseSavepoint(name);
}

QString IDAConnection::QuoteIdentifier(const QString &identifier) const
{
    const auto q = GetQuoteChars();
    QString inner = identifier;
    inner.replace(q.second, QString(q.second) + q.second);
    return q.first + inner + q.second;
}

QString IDAConnection::QuoteIdentifierIfNeeded(const QString &identifier) const
{
    return IdentifierNeedsQuoting(identifier) ? QuoteIdentifier(identifier) : identifier;
}
