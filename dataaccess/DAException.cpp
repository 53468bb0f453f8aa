#include "dataaccess/DAException.h"

EDAException::EDAException(const QString &message, const QString &sqlState)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_sqlState(sqlState)
{
}

namespace {
const QLatin1String kChangedByAnotherUser("changed or deleted by another user");
}

QString DAChangedByAnotherUserMessage(const QString &datasetName)
{
    return QStringLiteral("The row of \"%1\" was %2").arg(datasetName, kChangedByAnotherUser);
}

bool DAIsChangedByAnotherUser(const QString &message)
{
    return message.contains(kChangedByAnotherUser);
}
