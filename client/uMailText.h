// What a mail's header lines and text may carry. Addresses, names and subjects come from
// contact data and plug-ins: none of them may start a header line of its own, so a line break
// in any of them refuses the mail, an address is checked as plain ASCII, and every other text
// that is not plain printable ASCII travels as RFC 2047 encoded words. Text lines end in CR LF.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <stdexcept>

// A mail that may not be sent as given; the message says why.
class EMailRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TMailText
{
public:
    // An encoded word is at most this long, and so is a header line as we fold it.
    static constexpr int MaxEncodedWord = 75;
    static constexpr int MaxAddressLength = 254;

    // The address without blanks around it; refused when it holds anything but printable ASCII
    // outside the specials of an address, or is not local part, one "@" and a domain.
    static QByteArray Address(const QString &address);
    // A header's text: as it is when plain printable ASCII, else encoded words (UTF-8, base64)
    // folded onto continuation lines. Refused when it holds a line break or another control.
    static QByteArray HeaderText(const QString &text);
    // "name <address>", or the address alone when there is no name.
    static QByteArray Mailbox(const QString &name, const QString &address);
    // The text in UTF-8 with every line ending (CR LF, LF or a lone CR) made CR LF.
    static QByteArray CrLfText(const QString &text);
    // The Date header's value (RFC 5322), English names whatever the locale.
    static QByteArray DateValue(const QDateTime &when);
};
