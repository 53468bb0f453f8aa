#include "client/uQorCDOMessage.h"

void TQorCDOMessage::AddRecipients(TCDOAddressKind kind, const QStringList &addresses)
{
    for (const QString &address : addresses)
        m_recipients << TCDOAddress{QString(), address, kind};
}

QString TQorCDOMessage::RecipientsAsText(TCDOAddressKind kind, bool addresses) const
{
    QString text;
    for (const TCDOAddress &recipient : m_recipients)
        if (recipient.Kind == kind)
            text += (addresses ? recipient.Address : recipient.Name) + QLatin1Char(';');
    return text;
}

QStringList TQorCDOMessage::Addresses(TCDOAddressKind kind) const
{
    QStringList list;
    for (const TCDOAddress &recipient : m_recipients)
        if (recipient.Kind == kind)
            list << recipient.Address;
    return list;
}

void TQorCDOMessage::SetSubject(const QString &subject)
{
    if (subject != m_subject)
        m_subject = subject;
}

void TQorCDOMessage::SetBody(const QString &body)
{
    if (body != m_body)
        m_body = body;
}
