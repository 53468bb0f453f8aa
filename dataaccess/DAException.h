// Exceptions of the data-access layer. Every failure of a driver, a schema or the data
// service reaches the caller as one of these, carrying a message a user can act on.
#pragma once

#include "dataaccess/DataAccessExport.h"

#include <QString>

#include <stdexcept>

class DATAACCESS_EXPORT EDAException : public std::runtime_error
{
public:
    explicit EDAException(const QString &message, const QString &sqlState = {}, const QString &field = {});
    QString Message() const { return m_message; }
    // The server's five-character error code when the database raised it, else empty.
    QString SqlState() const { return m_sqlState; }
    // The column (or columns, joined by ", ") the database named as the cause, else empty.
    QString Field() const { return m_field; }

private:
    QString m_message;
    QString m_sqlState;
    QString m_field;
};

// What a client is told of a failure: the database's own text names constraints, types and
// the cluster's socket, so an error the database raised becomes a plain account of what failed
// (the field where the database named it); the layer's own messages stay as they are.
DATAACCESS_EXPORT QString DAClientMessage(const EDAException &error);

// A driver could not be found, or refused its connection string.
class DATAACCESS_EXPORT EDADriverException : public EDAException
{
public:
    using EDAException::EDAException;
};

// The refusal of a change whose row another user changed or deleted since it was read: the
// server's text, and how a client tells it from other failures.
DATAACCESS_EXPORT QString DAChangedByAnotherUserMessage(const QString &datasetName);
DATAACCESS_EXPORT bool DAIsChangedByAnotherUser(const QString &message);
