#include "dataaccess/DAException.h"

EDAException::EDAException(const QString &message, const QString &sqlState)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_sqlState(sqlState)
{
}
