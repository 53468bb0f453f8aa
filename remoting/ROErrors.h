// The exceptions of the remoting layer. Each carries the class name that travels in an error
// reply, so a client raises the server's error under the server's name.
#pragma once

#include "remoting/RemotingExport.h"

#include <QString>

#include <stdexcept>

class REMOTING_EXPORT EROException : public std::runtime_error
{
public:
    EROException(const QString &className, const QString &message);
    QString ClassName() const { return m_className; }
    QString Message() const { return m_message; }

private:
    QString m_className;
    QString m_message;
};

// A message that is malformed, truncated, too large, or read with the wrong names or types.
class REMOTING_EXPORT EROMessageError : public EROException
{
public:
    explicit EROMessageError(const QString &message);
};

class REMOTING_EXPORT EROUnknownService : public EROException
{
public:
    explicit EROUnknownService(const QString &serviceName);
};

class REMOTING_EXPORT EROUnknownOperation : public EROException
{
public:
    EROUnknownOperation(const QString &serviceName, const QString &operation);
};

// A registry has no class for the asked interface GUID, sink name or class name.
class REMOTING_EXPORT EROInterfaceCastError : public EROException
{
public:
    explicit EROInterfaceCastError(const QString &message);
};

// An array index outside the elements; the two kinds the array classes raise are made below.
class REMOTING_EXPORT EROIndexError : public EROException
{
public:
    EROIndexError(const QString &className, const QString &message);
    // Reading or storing an element at an index outside 0 .. count - 1.
    static EROIndexError ArrayIndexOutOfBounds(int index);
    // Deleting at an index outside 0 .. count - 1.
    static EROIndexError InvalidIndex(int index);
};

// The request never got an answer: connection refused, time-out, HTTP failure.
class REMOTING_EXPORT EROTransportError : public EROException
{
public:
    explicit EROTransportError(const QString &message);
};

class REMOTING_EXPORT EROChannelBusy : public EROException
{
public:
    explicit EROChannelBusy(const QString &message);
};

// An error the server answered with; ClassName() is the server-side exception's.
class REMOTING_EXPORT EROServerError : public EROException
{
public:
    EROServerError(const QString &className, const QString &message);
};
