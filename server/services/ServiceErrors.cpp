#include "server/services/ServiceErrors.h"

#include "dataaccess/IDAConnection.h"
#include "foundation/LogText.h"
#include "foundation/QuorvaLogFile.h"

QString ErrorMessage(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return ErrorMessage(e);
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

QString ErrorMessage(const std::exception &error)
{
    return LogExcerpt(QString::fromUtf8(error.what()));
}

void RollbackQuietly(IDAConnection &connection, const QString &sender, const QString &context)
{
    try {
        if (connection.GetInTransaction())
            connection.RollbackTransaction();
    } catch (...) {
        AddToLog(llSevere, sender, context, ErrorMessage(std::current_exception()));
    }
}

bool RunInTransaction(IDAConnection &connection, const QString &sender, const QString &context,
                      const std::function<void()> &work)
{
    try {
        connection.BeginTransaction();
        work();
        connection.CommitTransaction();
        return true;
    } catch (...) {
        const QString message = ErrorMessage(std::current_exception());
        RollbackQuietly(connection, sender, context);
        AddToLog(llSevere, sender, context, message);
        return false;
    }
}
