// The host's mail operation: a message for the recipients a plug-in chose, written in the
// composer and sent once the user presses Send; with an attachment asked for, the minister
// schedule of the period goes along as a PDF written into a private temporary folder of this
// user, which is removed after sending. Nothing is written or sent when the composer is closed.
#pragma once

#include "client/HostComponents.h"
#include "client/uCDOClient.h"
#include "client/uEmailRules.h"

#include <QString>
#include <QStringList>

class QWidget;
class TDAQuorva;

namespace Quorva {
class ISettings;
}

class TQorCDOMail
{
public:
    struct TContext
    {
        TDAQuorva *Data = nullptr;           // the report service for the attachment
        Quorva::ISettings *Settings = nullptr; // the remembered attachment period
        QWidget *Owner = nullptr;             // the composer is centred on it
        QString TempFolder;                   // the system's temporary folder when empty
    };

    explicit TQorCDOMail(TContext context) : m_context(std::move(context)) {}

    // True when the message went out. With showComposer the user writes it first and may close
    // the composer without sending.
    bool SendSimpleMail(const TMailConfiguration &configuration, bool showComposer, const QStringList &recipients,
                        const QString &body, const QString &subject);

    // The mail path's attachment, rendered by the report engine from the server's template and
    // data: true when fileName was written. A period without data says "No information
    // available to print." and writes nothing; a failure is logged and writes nothing.
    static bool WriteMinisterSchedule(TDAQuorva &data, const TAttachmentPeriod &period, const QString &fileName);

private:
    TContext m_context;
};

// The host's e-mail operations: the empty composer, and a message to a plug-in's recipients
// with the host's mail configuration.
class TMailComposerHost : public IMailComposer
{
public:
    explicit TMailComposerHost(TDMClient &client) : m_client(client) {}
    void ShowNewMessage() override;
    void SendSimpleEmail(const QStringList &recipients) override;

    // Where the attachment's private folder is made (tests); the system's temporary folder by default.
    void SetTempFolder(const QString &folder) { m_tempFolder = folder; }

private:
    TDMClient &m_client;
    QString m_tempFolder;
};
