// One outgoing message as the composer and the sender see it: its recipients, subject and
// text.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

enum class TCDOAddressKind : quint8 { To = 0 };

struct TCDOAddress
{
    QString Name;
    QString Address;
    TCDOAddressKind Kind = TCDOAddressKind::To;
};

class TQorCDOMessage
{
public:
    // One address per entry, with no name.
    void AddRecipients(TCDOAddressKind kind, const QStringList &addresses);
    // The addresses (or names) of that kind, each followed by ";".
    QString RecipientsAsText(TCDOAddressKind kind, bool addresses = true) const;
    QStringList Addresses(TCDOAddressKind kind) const;
    const QList<TCDOAddress> &Recipients() const { return m_recipients; }

    QString Subject() const { return m_subject; }
    void SetSubject(const QString &subject);
    QString Body() const { return m_body; }
    void SetBody(const QString &body);

private:
    QList<TCDOAddress> m_recipients;
    QString m_subject;
    QString m_body;
};
