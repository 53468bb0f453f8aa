// The text a service logs for an error it catches and does not pass to the client, and the
// clean-up of the transaction such an error leaves open.
#pragma once

#include <QString>

#include <exception>
#include <functional>

class IDAConnection;

// The message of the exception as a log excerpt (it may echo client text), or "unknown error"
// for one that carries none.
QString ErrorMessage(const std::exception_ptr &error);
QString ErrorMessage(const std::exception &error);

// Rolls back a transaction that a failed operation left open; a failing rollback is logged
// under the operation's sender and context, never thrown over the first error.
void RollbackQuietly(IDAConnection &connection, const QString &sender, const QString &context);

// Runs the work in one transaction on the connection: all of it or none. A failure is rolled
// back and logged as a Severe line under sender and context, and answers false.
bool RunInTransaction(IDAConnection &connection, const QString &sender, const QString &context,
                      const std::function<void()> &work);
