#include "updating/SoapCall.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamWriter>

namespace {

const QString kEnvelopeNamespace = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");
// An answer of the web services is a short list; anything far larger is not theirs.
constexpr qint64 kMaxResponseBytes = 16 * 1024 * 1024;
// A start-up waits for the answer, so a silent service must not hold it for long.
constexpr int kCallTimeoutMs = 30000;
// The agent name the services have always seen from our programs.
const QByteArray kUserAgent = QByteArrayLiteral("RemObjects SDK");

} // namespace

QByteArray TSoapRequest::Envelope() const
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartDocument();
    writer.writeNamespace(kEnvelopeNamespace, QStringLiteral("soap"));
    writer.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("xsi"));
    writer.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema"), QStringLiteral("xsd"));
    writer.writeStartElement(kEnvelopeNamespace, QStringLiteral("Envelope"));
    writer.writeStartElement(kEnvelopeNamespace, QStringLiteral("Body"));
    writer.writeDefaultNamespace(TargetNamespace);
    writer.writeStartElement(TargetNamespace, Operation);
    for (const auto &[name, value] : Parameters) {
        writer.writeStartElement(TargetNamespace, name);
        // A reader turns a raw CR LF into LF; as a character reference the CR survives.
        const QStringList pieces = value.split(QLatin1Char('\r'));
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                writer.writeEntityReference(QStringLiteral("#13"));
            writer.writeCharacters(pieces[i]);
        }
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

TSoapCall::TSoapCall(QObject *parent)
    : QObject(parent)
{
}

TSoapCall::~TSoapCall()
{
    if (QNetworkReply *reply = m_reply.data()) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void TSoapCall::Start(QNetworkAccessManager *manager, const TSoapRequest &request, const QString &responseElement)
{
    m_responseElement = responseElement;
    m_succeeded = false;
    m_error.clear();
    QNetworkRequest http(request.Location);
    http.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml; charset=utf-8"));
    http.setRawHeader(QByteArrayLiteral("SOAPAction"), '"' + request.SoapAction.toUtf8() + '"');
    http.setHeader(QNetworkRequest::UserAgentHeader, kUserAgent);
    http.setTransferTimeout(kCallTimeoutMs);
    QNetworkReply *reply = manager->post(http, request.Envelope());
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxResponseBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, &TSoapCall::onFinished);
}

void TSoapCall::fail(const QString &text)
{
    m_error = text;
    m_succeeded = false;
    emit finished();
}

void TSoapCall::onFinished()
{
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    const QByteArray body = reply->size() <= kMaxResponseBytes ? reply->readAll() : QByteArray();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    // A fault comes with status 500 and is the service's own word on what went wrong.
    QDomDocument document;
    const bool readable = !body.isEmpty() && bool(document.setContent(body, true));
    const QDomElement soapBody = readable ? Soap::Child(document.documentElement(), QStringLiteral("Body")) : QDomElement();
    const QDomElement fault = Soap::Child(soapBody, QStringLiteral("Fault"));
    if (!fault.isNull())
        return fail(QStringLiteral("SOAP fault: %1").arg(Soap::ChildText(fault, QStringLiteral("faultstring"))));
    if (reply->error() != QNetworkReply::NoError)
        return fail(reply->errorString());
    if (status != 200)
        return fail(QStringLiteral("HTTP status %1").arg(status));
    if (!readable)
        return fail(QStringLiteral("The answer is no SOAP message"));
    const QDomElement response = Soap::Child(soapBody, m_responseElement);
    if (response.isNull())
        return fail(QStringLiteral("The answer holds no %1").arg(m_responseElement));
    m_document = document;
    m_response = response;
    m_succeeded = true;
    emit finished();
}

TSoapAnswer TSoapCall::Invoke(const TSoapRequest &request, const QString &responseElement)
{
    if (!QCoreApplication::instance())
        throw ESoapError("Web service calls need a running application");
    QNetworkAccessManager manager;
    TSoapCall call;
    QEventLoop loop;
    bool done = false;
    connect(&call, &TSoapCall::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    call.Start(&manager, request, responseElement);
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!call.Succeeded())
        throw ESoapError(call.ErrorText().toStdString());
    return call.Answer();
}

namespace Soap {

QDomElement Child(const QDomElement &parent, const QString &localName)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.localName().isEmpty() ? child.tagName() : child.localName();
        if (name == localName)
            return child;
    }
    return {};
}

QString ChildText(const QDomElement &parent, const QString &localName)
{
    return Child(parent, localName).text();
}

bool ChildBoolean(const QDomElement &parent, const QString &localName)
{
    const QString text = ChildText(parent, localName).trimmed();
    return text == QLatin1String("true") || text == QLatin1String("1");
}

} // namespace Soap
