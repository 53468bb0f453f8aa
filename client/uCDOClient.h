// Sending one message over SMTP with libcurl's MIME API, in place of the CDO automation objects.
// The message is checked and built whole before anything goes out (a refused address or header
// sends nothing), the transfer runs on a worker thread while the window keeps painting, and a
// failure is never retried: a message reaches its recipients once or not at all.
#pragma once

#include "client/uQorCDOMessage.h"

#include <QString>
#include <QVariantMap>

#include <chrono>

// The host's mail configuration: the fields of the [Mail] section by their CDO names, and the
// SMTP password from the per-user registry store.
struct TMailConfiguration
{
    static constexpr int DefaultPort = 25;
    static constexpr int DefaultSslPort = 465;
    // Where the password lives: this value of the per-user store, under the product key.
    static inline const QString PasswordKey = QStringLiteral("Mail");
    static inline const QString PasswordValue = QStringLiteral("sendpassword");

    QString Server;
    int Port = DefaultPort;
    bool UseSsl = false;
    QString UserName;
    QString Password;
    QString Sender;
    QString ReplyTo;

    // smtpserver, smtpserverport, smtpusessl, sendusername, sendemailaddress,
    // senduserreplyemailaddress.
    static TMailConfiguration FromRecord(const QVariantMap &record, const QString &password);
    // The password of this user; the store is made readable by its owner only when it was not.
    static QString StoredPassword();
};

class TCDOClient
{
public:
    static constexpr std::chrono::seconds ConnectTimeout{20};
    static constexpr std::chrono::seconds TransferTimeout{300};
    // What comes first in the text of a message with the report attached.
    static inline const QString AttachedNote = QStringLiteral("Kestrova report is attached.");
    // The name recipients see on the attachment.
    static inline const QString AttachmentName = QStringLiteral("Kestrova.pdf");

    // Sends the message to its To recipients; with an attachment file that exists, the note line
    // first and the file along. False when it was not sent: the reason is logged (Severe,
    // "CDOClient", "SendEmail") and the error message shown.
    static bool SendEmail(const TMailConfiguration &configuration, const TQorCDOMessage &message, const QString &attachment);
    // The same without the message box: throws EMailRefused or std::runtime_error with the reason.
    static void Send(const TMailConfiguration &configuration, const TQorCDOMessage &message, const QString &attachment);
    // The error message a failed send shows, with the reason.
    static QString ErrorText(const QString &reason);
};
