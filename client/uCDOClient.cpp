#include "client/uCDOClient.h"

#include "client/uMailText.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "foundation/uRegistry.h"
#include "ui/PromptService.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace {

const QString kSender = QStringLiteral("CDOClient");

// Everything a transfer needs, checked and built before the worker starts.
struct TMailEnvelope
{
    QByteArray Url;
    QByteArray UserName;
    QByteArray Password;
    bool RequireTls = false;
    QByteArray From;
    QList<QByteArray> Recipients;
    QList<QByteArray> Headers;
    QByteArray Body;
    QByteArray AttachmentPath;
};

struct CurlDeleter
{
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_mime *mime) const { curl_mime_free(mime); }
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

curl_slist *append(curl_slist *list, const QByteArray &line)
{
    curl_slist *longer = curl_slist_append(list, line.constData());
    if (!longer)
        throw std::runtime_error("out of memory for the mail headers");
    return longer;
}

bool isLoopback(const QString &host)
{
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

TMailEnvelope BuildEnvelope(const TMailConfiguration &configuration, const TQorCDOMessage &message, const QString &attachment)
{
    TMailEnvelope envelope;
    const QString server = configuration.Server.trimmed();
    if (server.isEmpty())
        throw EMailRefused("No mail server is set up (smtpserver in the [Mail] section of Settings.ini)");
    QUrl url;
    url.setScheme(configuration.UseSsl && configuration.Port == TMailConfiguration::DefaultSslPort ? QStringLiteral("smtps")
                                                                                                    : QStringLiteral("smtp"));
    url.setHost(server, QUrl::StrictMode);
    url.setPort(configuration.Port);
    if (!url.isValid() || url.host().isEmpty())
        throw EMailRefused(QStringLiteral("\"%1\" is not a mail server's name").arg(server).toStdString());
    envelope.Url = url.toString(QUrl::FullyEncoded).toLatin1();
    envelope.UserName = configuration.UserName.toUtf8();
    envelope.Password = configuration.Password.toUtf8();
    // A password never crosses the network in clear; over loopback it stays on this computer.
    envelope.RequireTls = configuration.UseSsl || (!envelope.UserName.isEmpty() && !isLoopback(server));

    if (configuration.Sender.trimmed().isEmpty())
        throw EMailRefused("No sender address is set up (sendemailaddress in the [Mail] section of Settings.ini)");
    const QByteArray from = TMailText::Address(configuration.Sender);
    envelope.From = '<' + from + '>';

    QList<QByteArray> to;
    for (const TCDOAddress &recipient : message.Recipients()) {
        if (recipient.Kind != TCDOAddressKind::To)
            continue;
        envelope.Recipients << '<' + TMailText::Address(recipient.Address) + '>';
        to << TMailText::Mailbox(recipient.Name, recipient.Address);
    }
    if (to.isEmpty())
        throw EMailRefused("The message has no recipient");

    envelope.Headers << "Date: " + TMailText::DateValue(QDateTime::currentDateTime()) << "From: " + from
                     << "To: " + to.join(",\r\n ") << "Subject: " + TMailText::HeaderText(message.Subject())
                     << "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@' +
                            from.mid(from.indexOf('@') + 1) + '>';
    if (!configuration.ReplyTo.trimmed().isEmpty())
        envelope.Headers << "Reply-To: " + TMailText::Address(configuration.ReplyTo);

    QString body = message.Body();
    if (!attachment.isEmpty() && QFileInfo(attachment).isFile()) {
        body = TCDOClient::AttachedNote + QLatin1Char('\n') + body;
        envelope.AttachmentPath = QFile::encodeName(attachment);
    }
    envelope.Body = TMailText::CrLfText(body);
    return envelope;
}

// Runs on the worker thread; answers the reason of a failure, empty when the server took it.
QString Transfer(const TMailEnvelope &envelope)
{
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return QStringLiteral("The mail library could not start");
    char error[CURL_ERROR_SIZE] = {};
    CURL *handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(handle, CURLOPT_URL, envelope.Url.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, long(TCDOClient::ConnectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, long(TCDOClient::TransferTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_USE_SSL, long(envelope.RequireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    if (!envelope.UserName.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, envelope.UserName.constData());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, envelope.Password.constData());
    }
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, envelope.From.constData());

    std::unique_ptr<curl_slist, CurlDeleter> recipients;
    for (const QByteArray &recipient : envelope.Recipients)
        recipients.reset(append(recipients.release(), recipient));
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    std::unique_ptr<curl_slist, CurlDeleter> headers;
    for (const QByteArray &header : envelope.Headers)
        headers.reset(append(headers.release(), header));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());

    std::unique_ptr<curl_mime, CurlDeleter> mime(curl_mime_init(handle));
    curl_mimepart *text = curl_mime_addpart(mime.get());
    curl_mime_data(text, envelope.Body.constData(), size_t(envelope.Body.size()));
    curl_mime_type(text, "text/plain; charset=UTF-8");
    curl_mime_encoder(text, "quoted-printable");
    if (!envelope.AttachmentPath.isEmpty()) {
        curl_mimepart *file = curl_mime_addpart(mime.get());
        if (curl_mime_filedata(file, envelope.AttachmentPath.constData()) != CURLE_OK)
            return QStringLiteral("The attachment cannot be read");
        curl_mime_filename(file, TCDOClient::AttachmentName.toLatin1().constData());
        curl_mime_type(file, "application/pdf");
        curl_mime_encoder(file, "base64");
    }
    curl_easy_setopt(handle, CURLOPT_MIMEPOST, mime.get());

    const CURLcode code = curl_easy_perform(handle);
    if (code == CURLE_OK)
        return {};
    QString reason = QString::fromUtf8(curl_easy_strerror(code));
    if (error[0])
        reason += QStringLiteral(": ") + QString::fromUtf8(error).trimmed();
    return reason;
}

bool g_sending = false;

} // namespace

TMailConfiguration TMailConfiguration::FromRecord(const QVariantMap &record, const QString &password)
{
    TMailConfiguration configuration;
    configuration.Server = record.value(QStringLiteral("smtpserver")).toString().trimmed();
    configuration.UseSsl = StrToBoolDef(record.value(QStringLiteral("smtpusessl")).toString(), false);
    bool ok = false;
    const int port = record.value(QStringLiteral("smtpserverport")).toString().trimmed().toInt(&ok);
    configuration.Port = ok && port > 0 && port < 65536 ? port : (configuration.UseSsl ? DefaultSslPort : DefaultPort);
    configuration.UserName = record.value(QStringLiteral("sendusername")).toString().trimmed();
    configuration.Password = password;
    configuration.Sender = record.value(QStringLiteral("sendemailaddress")).toString().trimmed();
    configuration.ReplyTo = record.value(QStringLiteral("senduserreplyemailaddress")).toString().trimmed();
    return configuration;
}

QString TMailConfiguration::StoredPassword()
{
    QString password;
    TQorReg::ReadString(HKEY_CURRENT_USER, ProductKey + QLatin1Char('\\') + PasswordKey, password, QString(), PasswordValue);
    const QString store = TQorReg::StorePath(HKEY_CURRENT_USER);
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!password.isEmpty() && (QFile::permissions(store) & ~(ownerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser))) {
        AddToLog(llWarning, kSender, QStringLiteral("StoredPassword"),
                 QStringLiteral("The per-user store holding the mail password could be read by others; it is now the owner's only"));
        QFile::setPermissions(store, ownerOnly);
    }
    return password;
}

QString TCDOClient::ErrorText(const QString &reason)
{
    return QStringLiteral("Error sending message.\n%1\nIn order to use the e-mail, you need a working mail server in the [Mail] "
                          "section of Settings.ini.")
        .arg(reason);
}

void TCDOClient::Send(const TMailConfiguration &configuration, const TQorCDOMessage &message, const QString &attachment)
{
    if (g_sending)
        throw EMailRefused("Another message is being sent");
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    const TMailEnvelope envelope = BuildEnvelope(configuration, message, attachment);

    g_sending = true;
    QString reason;
    std::unique_ptr<QThread> worker(QThread::create([&envelope, &reason] { reason = Transfer(envelope); }));
    QEventLoop wait;
    QObject::connect(worker.get(), &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    // The window paints and the clock runs, but nothing the user does reaches it meanwhile.
    if (!worker->isFinished())
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    g_sending = false;
    if (!reason.isEmpty())
        throw std::runtime_error(reason.toStdString());
}

bool TCDOClient::SendEmail(const TMailConfiguration &configuration, const TQorCDOMessage &message, const QString &attachment)
{
    try {
        Send(configuration, message, attachment);
        return true;
    } catch (const std::exception &e) {
        const QString reason = QString::fromUtf8(e.what());
        AddToLog(llSevere, kSender, QStringLiteral("SendEmail"), reason);
        ShowMessage(nullptr, QMessageBox::Warning, QString(), ErrorText(reason));
        return false;
    }
}
