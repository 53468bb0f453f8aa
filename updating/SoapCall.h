// SOAP 1.1 calls in the document/literal style, as the maker's web services (.asmx) expect
// them, over Qt Network. The call itself is asynchronous; Invoke waits for it in a local
// event loop for the programs that must have the answer before they go on (start-up checks).
#pragma once

#include "updating/UpdatingExport.h"

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <stdexcept>

class QNetworkAccessManager;
class QNetworkReply;

// A call that failed: no connection, an HTTP error, a SOAP fault or an unreadable answer.
class UPDATING_EXPORT ESoapError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A successful answer; the document keeps the response element's data alive.
struct UPDATING_EXPORT TSoapAnswer
{
    QDomDocument Document;
    QDomElement Response;
};

// One request: operation element in the target namespace with its parameters in wire order.
struct UPDATING_EXPORT TSoapRequest
{
    QUrl Location;
    QString SoapAction;
    QString TargetNamespace;
    QString Operation;
    QList<QPair<QString, QString>> Parameters;

    QByteArray Envelope() const;
};

class UPDATING_EXPORT TSoapCall : public QObject
{
    Q_OBJECT
public:
    explicit TSoapCall(QObject *parent = nullptr);
    ~TSoapCall() override;

    // Posts the request; finished() follows exactly once, on success and on failure.
    void Start(QNetworkAccessManager *manager, const TSoapRequest &request, const QString &responseElement);
    bool Succeeded() const { return m_succeeded; }
    QString ErrorText() const { return m_error; }
    // The response element (e.g. "GetProductFilesResponse") of a successful call.
    TSoapAnswer Answer() const { return {m_document, m_response}; }

    // Synchronous form: waits in a local event loop (user input excluded) and raises ESoapError.
    static TSoapAnswer Invoke(const TSoapRequest &request, const QString &responseElement);

signals:
    void finished();

private:
    void onFinished();
    void fail(const QString &text);

    QPointer<QNetworkReply> m_reply;
    QString m_responseElement;
    QDomDocument m_document;
    QDomElement m_response;
    QString m_error;
    bool m_succeeded = false;
};

namespace Soap {
// The first child element with that local name, whatever its namespace.
UPDATING_EXPORT QDomElement Child(const QDomElement &parent, const QString &localName);
UPDATING_EXPORT QString ChildText(const QDomElement &parent, const QString &localName);
// An xsd:boolean child: "true" or "1"; anything else, or no such child, is false.
UPDATING_EXPORT bool ChildBoolean(const QDomElement &parent, const QString &localName);
} // namespace Soap
