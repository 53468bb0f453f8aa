// The binary message: one request, response, error or event, with the client's session GUID,
// the library, interface and message names, and the named values in order (TROSerializer).
// The byte layout is in docs/wire-format.md. Loading checks every length and count against
// what remains and the unpacked size against a limit, and throws EROMessageError on any fault:
// a bad message is refused, never half read.
#pragma once

#include "remoting/RemotingExport.h"
#include "remoting/RemotingLimits.h"
#include "remoting/ROSerializer.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <memory>

class TMemoryBudget;

enum class ROMessageKind : quint8 { Request = 1, Response = 2, Error = 3, Event = 4 };

class REMOTING_EXPORT TROMessage : public TROSerializer
{
public:
    static inline const QString ResponseSuffix = QStringLiteral("Response");
    // Value names of an error message.
    static inline const QString ErrorClassValue = QStringLiteral("ClassName");
    static inline const QString ErrorMessageValue = QStringLiteral("Message");

    TROMessage() = default;

    // Each Initialize clears the values and sets kind and names; the session GUID stays.
    void InitializeRequest(const QString &library, const QString &interfaceName, const QString &operation);
    // The message name becomes the operation's name followed by "Response".
    void InitializeResponse(const QString &library, const QString &interfaceName, const QString &operation);
    void InitializeEvent(const QString &library, const QString &sinkName, const QString &eventName);
    void InitializeError(const QString &library, const QString &interfaceName, const QString &operation,
                         const QString &className, const QString &text);
    // Nothing is pending in this format; kept so that callers state where a message is complete.
    void Finalize() {}

    ROMessageKind Kind() const { return m_kind; }
    QString LibraryName() const { return m_library; }
    QString InterfaceName() const { return m_interface; }
    QString MessageName() const { return m_messageName; }
    QUuid ClientID() const { return m_clientId; }
    void SetClientID(const QUuid &id) { m_clientId = id; }

    // Throws EROMessageError when the body would exceed limit.
    QByteArray SaveToBytes(std::size_t limit = RemotingLimits::kMaxReplySize) const;
    // Replaces everything; on an error the message is left empty (a request without names).
    // The values may number at most RemotingLimits::kMinValueBudget plus one per
    // kBodyBytesPerValue bytes of the unpacked body. With a shared budget, the unpacked body
    // and the values are taken from it while the message is read, and refused when it is spent.
    void LoadFromBytes(const QByteArray &data, std::size_t limit, TMemoryBudget *shared = nullptr);
    // Throws EROServerError with the carried class name and text when this is an error message.
    void RaiseIfError() const;
    // Whether the bytes are an error message, read from its head alone: a reader that only
    // cares for errors need not decode a large reply.
    static bool IsErrorMessage(const QByteArray &data);
    // Whether a Binary among the values stands for a file: such a message goes out through
    // TROMessageWriter.
    bool HoldsFiles() const;

private:
    void Reset(ROMessageKind kind, const QString &library, const QString &interfaceName, const QString &name);

    ROMessageKind m_kind = ROMessageKind::Request;
    QString m_library;
    QString m_interface;
    QString m_messageName;
    QUuid m_clientId;
};

// A message written in pieces, for one whose Binary values stand for files (a reply of client
// updates): the bytes before, between and after the files are laid out in memory, each file is
// read from disk as the message is written, and a compressed body is packed as it goes. The
// pieces make up exactly what SaveToBytes gives for the same message.
class REMOTING_EXPORT TROMessageWriter
{
public:
    // Throws EROMessageError where SaveToBytes would, and when a file cannot be read. A compressed
    // message is packed once here to learn its length, so that the HTTP reply states it up front
    // (the client shows its download's progress against it).
    TROMessageWriter(const TROMessage &message, std::size_t limit);
    ~TROMessageWriter();
    TROMessageWriter(const TROMessageWriter &) = delete;
    TROMessageWriter &operator=(const TROMessageWriter &) = delete;

    std::size_t Length() const;
    // The next piece, at most RemotingLimits::kReplyPieceSize bytes; false once all is written.
    // Throws EROMessageError when a file changed since the message was laid out.
    bool Next(QByteArray &piece);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
