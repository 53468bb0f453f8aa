#include "remoting/ROErrors.h"

EROException::EROException(const QString &className, const QString &message)
    : std::runtime_error(message.toStdString()), m_className(className), m_message(message)
{
}

EROMessageError::EROMessageError(const QString &message)
    : EROException(QStringLiteral("EROMessageError"), message)
{
}

EROUnknownService::EROUnknownService(const QString &serviceName)
    : EROException(QStringLiteral("EROUnknownService"),
                   QStringLiteral("Unknown service \"%1\"").arg(serviceName))
{
}

EROUnknownOperation::EROUnknownOperation(const QString &serviceName, const QString &operation)
    : EROException(QStringLiteral("EROUnknownOperation"),
                   QStringLiteral("Service \"%1\" has no operation \"%2\"").arg(serviceName, operation))
{
}

EROInterfaceCastError::EROInterfaceCastError(const QString &message)
    : EROException(QStringLiteral("EROInterfaceCastError"), message)
{
}

EROIndexError::EROIndexError(const QString &className, const QString &message) : EROException(className, message) {}

EROIndexError EROIndexError::ArrayIndexOutOfBounds(int index)
{
    return EROIndexError(QStringLiteral("EROArrayIndexOutOfBounds"),
                         QStringLiteral("Array index %1 is out of bounds").arg(index));
}

EROIndexError EROIndexError::InvalidIndex(int index)
{
    return EROIndexError(QStringLiteral("EROInvalidIndex"), QStringLiteral("Invalid index %1").arg(index));
}

EROTransportError::EROTransportError(const QString &message)
    : EROException(QStringLiteral("EROTransportError"), message)
{
}

EROChannelBusy::EROChannelBusy(const QString &message)
    : EROException(QStringLiteral("EROChannelBusy"), message)
{
}

EROServerError::EROServerError(const QString &className, const QString &message)
    : EROException(className, message)
{
}
